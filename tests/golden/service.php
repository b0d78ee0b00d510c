<?php
declare(strict_types=1);

namespace App\Service;

use App\Repo\{UserRepo, OrderRepo as Orders};

interface Notifier extends Base, \Countable
{
    const LEVEL = 2;
    public function notify(string $to, string ...$lines): bool;
}

abstract class Mailer implements Notifier
{
    use Logs, Retries { Retries::retry as protected again; }

    public const DEFAULT = 'smtp';
    protected static ?self $instance = null;

    public function __construct(private readonly UserRepo $users, public int &$sent = 0) {}

    final public static function instance(): static
    {
        return static::$instance ??= new static(new UserRepo());
    }

    public function notify(string $to, string ...$lines): bool
    {
        $body = implode("\n", $lines);
        try {
            $this->send($to, body: $body);
        } catch (\RuntimeException | \LogicException $e) {
            return false;
        } finally {
            $this->sent++;
        }
        return __METHOD__ === 'App\Service\Mailer::notify';
    }
}

enum Status: int implements \JsonSerializable
{
    case Active = 1;
    case Blocked = 2;

    public function label(): string
    {
        return match ($this) {
            self::Active => 'on',
            default => 'off',
        };
    }
}

$handler = static fn(int $x): int => $x * 2;
$closure = function ($a) use (&$total, $handler) { $total += $handler($a); };
