"""Control-flow statements: if, the loops, switch, try and declare. Comments
and omitted `for` clauses shift nothing, and inline text beside a body stays
with that body."""


import pytest

from zarnu import (Assignment, BinaryOp, Block, Break, Case, Catch, Constant, Declare,
                   Default, Directive, DoWhile, Else, ElseIf, Finally, For, Foreach,
                   ForeachVariable, If, InlineHTML, PostIncDecOp, Switch, Try, Variable,
                   While, Zarnu)
from php import blocks_left_by, lines, parse

V = Variable
B = Block


@pytest.mark.parametrize("code, expected", [
    ("if ($a) { $b; }", If(V("$a"), B([V("$b")]), [], None)),
    ("if ($a) { $b; } elseif ($c) $d; elseif ($e) {} else { $f; }",
     If(V("$a"), B([V("$b")]), [ElseIf(V("$c"), V("$d")), ElseIf(V("$e"), B([]))],
        Else(B([V("$f")])))),
    # Two words: an else whose body is another if.
    ("if ($a) {} else if ($b) {} else {}",
     If(V("$a"), B([]), [], Else(If(V("$b"), B([]), [], Else(B([])))))),
    ("if ($a): $b; elseif ($c): else: $d; endif;",
     If(V("$a"), B([V("$b")]), [ElseIf(V("$c"), B([]))], Else(B([V("$d")])))),
    ("if ($a);", If(V("$a"), None, [], None)),
])
def test_if(code, expected):
    assert parse(code) == [expected]


@pytest.mark.parametrize("code, expected", [
    # The grammar hangs the text before `else`/`endif` on the if statement;
    # each piece goes with the branch that it ends.
    ("if ($a): ?>x<?php else: ?>y<?php endif;",
     If(V("$a"), B([InlineHTML("x")]), [], Else(B([InlineHTML("y")])))),
    ("if ($a): ?>x<?php $b; ?>y<?php elseif ($c): ?>z<?php endif;",
     If(V("$a"), B([InlineHTML("x"), V("$b"), InlineHTML("y")]),
        [ElseIf(V("$c"), B([InlineHTML("z")]))], None)),
    # A piece that gives nothing stands as None.
    ("if ($a): ?> <?php endif;", If(V("$a"), B([None]), [], None)),
    # Text before the body follows the body's statements.
    ("if ($a) ?>t<?php $b;", If(V("$a"), B([V("$b"), InlineHTML("t")]), [], None)),
    ("if ($a) $x; else ?>u<?php $d;",
     If(V("$a"), V("$x"), [], Else(B([V("$d"), InlineHTML("u")])))),
])
def test_if_with_inline_text(code, expected):
    assert parse(code) == [expected]


def test_if_line_numbers():
    (node,) = parse("if ($a):\n?>x<?php\nelseif ($b):\n$c;\nelse:\n?>y<?php\nendif;")
    assert lines([node]) == lines([If(
        V("$a", lineno=1),
        # A block that merges body and text stands for no source block.
        B([InlineHTML("x", lineno=2)], lineno=None),
        [ElseIf(V("$b", lineno=3), B([V("$c", lineno=4)], lineno=3), lineno=3)],
        Else(B([InlineHTML("y", lineno=6)]), lineno=5),
        lineno=1)])


@pytest.mark.parametrize("code, expected", [
    ("while ($a) { $b; }", While(V("$a"), B([V("$b")]))),
    # A body that gives nothing is an empty block, never None.
    ("while ($a);", While(V("$a"), B([]))),
    ("while ($a): $b; $c; endwhile;", While(V("$a"), B([V("$b"), V("$c")]))),
    ("while (/* c */ $a) /* d */ {}", While(V("$a"), B([]))),
    ("do { $a; } while ($b);", DoWhile(B([V("$a")]), V("$b"))),
    ("do /* c */ $a; while ($b);", DoWhile(V("$a"), V("$b"))),
    ("do ; while ($b);", DoWhile(None, V("$b"))),
])
def test_while_and_do(code, expected):
    assert parse(code) == [expected]


@pytest.mark.parametrize("code, expected", [
    ("for ($a; $b; $c) { $d; }", For(V("$a"), V("$b"), V("$c"), B([V("$d")]))),
    # Omitted clauses are None; the body stays the body.
    ("for (;;) { $d; }", For(None, None, None, B([V("$d")]))),
    ("for ($a;; $c) $d;", For(V("$a"), None, V("$c"), V("$d"))),
    ("for ($a; /* c */; $c) {}", For(V("$a"), None, V("$c"), B([]))),
    ("for (/* c */ $a; $b; $c) {}", For(V("$a"), V("$b"), V("$c"), B([]))),
    ("for ($a; $b; $c);", For(V("$a"), V("$b"), V("$c"), None)),
    # A clause with commas is a flat list.
    ("for ($a, $b;; $c, $d, $e) {}",
     For([V("$a"), V("$b")], None, [V("$c"), V("$d"), V("$e")], B([]))),
    # The colon form's statements have no block node of their own; all of
    # them make the body.
    ("for (;;): $a; $b; endfor;", For(None, None, None, B([V("$a"), V("$b")]))),
    ("for (;;): $a; endfor;", For(None, None, None, B([V("$a")]))),
])
def test_for(code, expected):
    assert parse(code) == [expected]


def test_for_counting_loop():
    # Needs the operators.
    assert parse("for ($i = 0; $i < 3; $i++) {}") == [For(
        Assignment(V("$i"), 0, False), BinaryOp("<", V("$i"), 3),
        PostIncDecOp("++", V("$i")), B([]))]


@pytest.mark.parametrize("code, expected", [
    ("foreach ($a as $v) {}",
     Foreach(V("$a"), None, ForeachVariable(V("$v"), False), B([]))),
    ("foreach ($a as &$v) {}",
     Foreach(V("$a"), None, ForeachVariable(V("$v"), True), B([]))),
    ("foreach ($a as $k => $v) $b;",
     Foreach(V("$a"), V("$k"), ForeachVariable(V("$v"), False), V("$b"))),
    ("foreach ($a as $k => &$v): $b; endforeach;",
     Foreach(V("$a"), V("$k"), ForeachVariable(V("$v"), True), B([V("$b")]))),
    ("foreach ($a as /* c */ $k => /* d */ $v) {}",
     Foreach(V("$a"), V("$k"), ForeachVariable(V("$v"), False), B([]))),
    ("foreach ($a as $v);",
     Foreach(V("$a"), None, ForeachVariable(V("$v"), False), None)),
])
def test_foreach(code, expected):
    assert parse(code) == [expected]


def test_foreach_line_numbers():
    (node,) = parse("foreach ($a as\n$k =>\n&\n$v) {}")
    assert node.valvar.lineno == 4 and node.keyvar.lineno == 2
    (node,) = parse("foreach ($a as\n$v) {}")
    assert node.valvar.lineno == 2


@pytest.mark.parametrize("code, expected", [
    # The grammar leaves the text before the end keyword beside the colon
    # block; it belongs to the body.
    ("foreach ($a as $v): ?>row<?php endforeach;",
     Foreach(V("$a"), None, ForeachVariable(V("$v"), False), B([InlineHTML("row")]))),
    ("while ($a): ?>x<?php $b; ?>y<?php endwhile;",
     While(V("$a"), B([InlineHTML("x"), V("$b"), InlineHTML("y")]))),
    ("for (;;): ?>x<?php $b; ?>y<?php endfor;",
     For(None, None, None, B([InlineHTML("x"), V("$b"), InlineHTML("y")]))),
    ("while ($a) ?>x<?php $b;", While(V("$a"), B([InlineHTML("x"), V("$b")]))),
])
def test_loops_keep_inline_text(code, expected):
    assert parse(code) == [expected]


def test_loop_body_line_numbers():
    code = "while ($a)\n{\n}\nwhile ($a);\nfor (;;)\n:\n$b;\nendfor;\nforeach ($a as $v):\n$b;\nendforeach;"
    assert [item.node.lineno for item in parse(code)] == [2, 4, 6, 9]


@pytest.mark.parametrize("code, expected", [
    ("switch ($a) { case 1: $b; break; case 2: default: $c; }",
     Switch(V("$a"), [Case(1, [V("$b"), Break(None)]), Case(2, []), Default([V("$c")])])),
    ("switch ($a) {}", Switch(V("$a"), [])),
    # The value is the case's expression, never one of its statements.
    ("switch ($a) { case /* c */ 1: $b; }", Switch(V("$a"), [Case(1, [V("$b")])])),
    ("switch ($a) { case 1: 2 3; }", Switch(V("$a"), [Case(1, [2, 3])])),
    # Text after a case's last statement belongs to that case.
    ("switch ($a): case 1: ?>x<?php $b; ?>y<?php endswitch;",
     Switch(V("$a"), [Case(1, [InlineHTML("x"), V("$b"), InlineHTML("y")])])),
    ("switch ($a) { case 1: ?>x<?php case 2: ?>y<?php default: ?>z<?php }",
     Switch(V("$a"), [Case(1, [InlineHTML("x")]), Case(2, [InlineHTML("y")]),
                      Default([InlineHTML("z")])])),
])
def test_switch(code, expected):
    assert parse(code) == [expected]


@pytest.mark.parametrize("code, expected", [
    ("try { $a; } catch (E $e) { $b; }",
     Try([V("$a")], [Catch("E", V("$e"), [V("$b")])], None)),
    # The caught types keep the text as written.
    ("try {} catch (A  |\\B\\C) {} catch (D $d) {} finally { $c; }",
     Try([], [Catch("A  |\\B\\C", None, []), Catch("D", V("$d"), [])],
         Finally([V("$c")]))),
    ("try {} finally {}", Try([], [], Finally([]))),
    # The last finally wins.
    ("try {} finally { $a; } finally { $b; }", Try([], [], Finally([V("$b")]))),
    ("try { 1 2; } finally {}", Try([1, 2], [], Finally([]))),
])
def test_try(code, expected):
    assert parse(code) == [expected]


@pytest.mark.parametrize("code, expected", [
    ("declare(strict_types=1);", Declare([Directive("strict_types", 1)], None)),
    ("declare(ticks = 1) { $a; }", Declare([Directive("ticks", 1)], B([V("$a")]))),
    ("declare(ticks=1) $a;", Declare([Directive("ticks", 1)], B([V("$a")]))),
    ("declare(ticks=1): $a; $b; enddeclare;",
     Declare([Directive("ticks", 1)], B([V("$a"), V("$b")]))),
    ("declare(ticks=1): ?>x<?php enddeclare;",
     Declare([Directive("ticks", 1)], B([InlineHTML("x")]))),
    ("declare(ticks=true);", Declare([Directive("ticks", Constant("true"))], None)),
])
def test_declare(code, expected):
    assert parse(code) == [expected]


def test_declare_string_value():
    # Needs the string literals.
    assert parse("declare(encoding='UTF-8');") == [
        Declare([Directive("encoding", "UTF-8")], None)]


def test_statement_line_numbers():
    code = ("switch ($a) {\ncase 1:\n$b;\ndefault:\n}\n"
            "try {\n} catch (E $e) {\n} finally {\n}\n"
            "declare(ticks=1)\n$a;")
    switch, try_, declare = parse(code)
    assert [switch.lineno, switch.nodes[0].lineno, switch.nodes[1].lineno] == [1, 2, 4]
    assert [try_.lineno, try_.catches[0].lineno, try_.finally_.lineno] == [6, 7, 8]
    # A block made around a lone statement takes the declare's line; braces
    # keep their own.
    assert [declare.lineno, declare.node.lineno, declare.directives[0].lineno] == [10, 10, 10]
    (braced,) = parse("declare(ticks=1)\n{\n$a;\n}")
    assert braced.node.lineno == 2


SAMPLE = """<?php
if ($a): ?>x<?php elseif ($b): ?>y<?php else: ?>z<?php endif;
for ($a, $b; $c; $d): $e; ?>t<?php endfor;
foreach ($a as $k => &$v) { echo $v, $k; }
while ($a): ?>w<?php endwhile;
do { continue 2; } while ($a);
switch ($a): case 1: ?>s<?php default: break; endswitch;
try { throw $e; } catch (A | B $e) { return; } finally { global $g; }
declare(ticks=1): static $s = 1; unset($s); enddeclare;
"""


def test_no_references_leak():
    parser = Zarnu()
    assert blocks_left_by(lambda: parser.parse(SAMPLE)) < 30
