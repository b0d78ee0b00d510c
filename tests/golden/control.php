<?php
for ($i = 0, $j = 10; $i < $j; $i++, $j--) {
    if ($i % 2) continue;
    elseif ($i > 5) break 1;
    else { echo $i; }
}
for (;;) { break; }
while ($row = next($rows)) /* comment */ ;
do { $n--; } while ($n > 0);
switch ($kind) {
    case 'a':
    case 'b': echo 'ab'; break;
    default: echo 'other';
}
foreach ($map as $key => [$first, $second]) { global $seen; static $hits = 0, $misses; }
declare(ticks=1) { tick(); }
goto end;
end:
throw new \Exception('x');
