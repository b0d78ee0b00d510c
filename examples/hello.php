<?php
declare(strict_types=1);

namespace Acme\Greeting;

function greet(string $name, int $times = 1): string
{
    return str_repeat("Hello, {$name}! ", $times);
}

final class Guestbook
{
    private array $names = [];

    public function __construct(private string $title)
    {
    }

    public function sign(string $name): static
    {
        $this->names[] = $name;
        return $this;
    }

    public function title(): string
    {
        return $this->title;
    }

    public function names(): array
    {
        return $this->names;
    }
}

$book = (new Guestbook('Visitors'))->sign('Ada')->sign('Rasmus');
$count = count($book->names());
?>
<!DOCTYPE html>
<html>
<head><title><?= htmlentities($book->title()) ?></title></head>
<body>
<h1><?php echo $book->title(), " ($count)"; ?></h1>
<?php foreach ($book->names() as $i => $name): ?>
  <p class="entry-<?= $i ?>"><?php echo greet($name); ?></p>
<?php endforeach; ?>
</body>
</html>
