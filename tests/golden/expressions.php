<?php
$a = [1, 'two' => 2.5, ...$rest, &$ref];
[$x, 'k' => [$y, $z]] = $pair;
$s = "Hi {$user->name}, you have $count new {$items[0]['t']}" . PHP_EOL;
$h = <<<EOT
    Total: {$order->total()}
      indented \$x
    EOT;
$n = <<<'RAW'
  keep \n as is
  RAW;
$cmd = `ls -la $dir`;
$v = $o?->p?->m(...) ?? f(...) ?: -$i ** 2;
$c = (int) $str + (bool) $flag . @file('x');
echo isset($a['k'], $b) && !empty($c), PHP_INT_MAX + 1, 0x7F, 0b101, 017, 1_000.5, true, null;
print $a instanceof Foo;
unset($a[1], $b->c);
list(, $second) = $array;
$obj = new class(1) extends Base {};
exit(1);
