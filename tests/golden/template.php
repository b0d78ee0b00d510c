<html>
<?php if ($user): ?>
  <p>Hello, <?= $user->name ?>!</p>
<?php else: ?>
  <a href="/login">Log in</a>
<?php endif; ?>
<ul>
<?php foreach ($items as $i => $item): ?>
  <li class="item-<?= $i ?>"><?= htmlspecialchars($item) ?></li>
<?php endforeach; ?>
</ul>
