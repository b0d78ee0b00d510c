"""Statements without a control structure of their own (echo, return, throw,
break, continue, global, static, unset) and statement blocks."""

import pytest

from zarnu import (Block, Break, Constant, Continue, Echo, Global, InlineHTML, Return,
                   Static, StaticVariable, Throw, Unset, Variable)
from php import parse, lines

V = Variable


@pytest.mark.parametrize("code, expected", [
    ("return;", Return(None)),
    ("return 5;", Return(5)),
    # `null` is a value; only a bare return has no operand.
    ("return null;", Return(Constant("null"))),
    # A comment before the operand does not take its place.
    ("return /* why */ $a;", Return(V("$a"))),
    ("break;", Break(None)),
    ("break 2;", Break(2)),
    ("continue;", Continue(None)),
    ("continue 2;", Continue(2)),
    ("throw $e;", Throw(V("$e"))),
])
def test_one_operand(code, expected):
    assert parse(code) == [expected]


@pytest.mark.parametrize("code, expected", [
    ("echo $a;", Echo([V("$a")])),
    # The grammar nests `a, b, c` to the right; the operands stand side by side.
    ("echo $a, 1, 2.5;", Echo([V("$a"), 1, 2.5])),
    ("echo $a, /* c */ $b;", Echo([V("$a"), V("$b")])),
    ("global $a, $$b;", Global([V("$a"), V(V("$b"))])),
    ("unset($a, $b);", Unset([V("$a"), V("$b")])),
    ("static $a = 0, $b;", Static([StaticVariable("$a", 0), StaticVariable("$b", None)])),
    # A comment between the variables declares nothing.
    ("static $a, /* c */ $b;", Static([StaticVariable("$a", None), StaticVariable("$b", None)])),
    # Recovered declarations with no name: empty texts, looked up twice in
    # the parse's str table (undefined behaviour there once, seen by UBSan).
    ("static x $a, y $b;", Static([StaticVariable(n, None) for n in ["", "$a", "", "$b"]])),
    # An error region is one nested item of a list statement...
    ("echo 1 2;", Echo([1, [2]])),
])
def test_list_statements(code, expected):
    assert parse(code) == [expected]


@pytest.mark.parametrize("code, expected", [
    ("{}", Block([])),
    ("{ ; /* c */ }", Block([])),
    ("{ $a; { $b; } }", Block([V("$a"), Block([V("$b")])])),
    # ... but its items are spliced into a block.
    ("{ 1 2; }", Block([1, 2])),
    ("{ $a; ?> <b>x</b> <?php $b; }", Block([V("$a"), InlineHTML("<b>x</b>"), V("$b")])),
    ("{ ?> <?php }", Block([])),
])
def test_blocks(code, expected):
    assert parse(code) == [expected]


def test_line_numbers():
    code = "{\n static $a = 1,\n  $b;\n return\n $c;\n}"
    assert lines(parse(code)) == lines([Block([
        Static([StaticVariable("$a", 1, lineno=2), StaticVariable("$b", None, lineno=3)],
               lineno=2),
        Return(V("$c", lineno=5), lineno=4),
    ], lineno=1)])


def test_long_echo_list_is_flat():
    count = 100_000
    (echo,) = parse("echo " + ", ".join(["$a"] * count) + ";")
    assert len(echo.nodes) == count and echo.nodes[-1] == V("$a")


def test_echo_of_a_string_stays_a_str():
    # Needs the string literals.
    assert parse("echo 'a', $b;") == [Echo(["a", V("$b")])]
