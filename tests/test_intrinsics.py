"""The constructs with an operand of their own (clone, print, include,
require, yield, exit) and match expressions."""

import pytest

from zarnu import (Assignment, BinaryOp, Clone, Constant, Exit, Include, MatchArm,
                   MatchExpr, Print, Require, Silence, UnaryOp, Variable, Yield, Zarnu)

V = Variable
A, X = V("$a"), V("$x")


def items(code):
    return Zarnu().parse(f"<?php {code}")


@pytest.mark.parametrize("code, expected", [
    ("clone($a);", Clone(A)),
    ("clone /* c */ $a;", Clone(A)),
    ("print($a) . $x;", Print(BinaryOp(".", A, X))),  # the parentheses are the operand's
    ("@print print $a;", Silence(Print(Print(A)))),
    ("include $a;", Include(A, False)),
    ("include_once /* c */ $a;", Include(A, True)),
    ("require $a;", Require(A, False)),
    ("!REQUIRE_ONCE $a;", UnaryOp("!", Require(A, True))),
    ("yield;", Yield(None)),
    ("yield from $a;", Yield(A)),
    ("exit;", Exit(None, "exit")),
    ("EXIT();", Exit(None, "exit")),
    ("Exit(2);", Exit(2, "exit")),
    ("exit /* c */ (/* c */ $a);", Exit(A, "exit")),
    # As values, bare exit and die are names.
    ("$a or die;", BinaryOp("or", A, Exit(None, "die"))),
])
def test_intrinsics(code, expected):
    assert items(code) == [expected]


@pytest.mark.parametrize("code, arms", [
    ("match ($x) { 1, 2 => 10, 3 => 20, default => 30 }",
     [MatchArm([1, 2], 10), MatchArm(3, 20), MatchArm(None, 30)]),
    ("match (($x)) {}", []),
    # Trailing commas and comments add nothing.
    ("match ($x) { /* c */ 1, /* c */ => 2, // c\n }", [MatchArm(1, 2)]),
    ("match ($x) { $a + 1, $x => -1 }",
     [MatchArm([BinaryOp("+", A, 1), X], UnaryOp("-", 1))]),
    ("match ($x) { true => match ($a) { default => 0 } }",
     [MatchArm(Constant("true"), MatchExpr(A, [MatchArm(None, 0)]))]),
    # Conditions and results made up by the grammar.
    ("match ($x) { => 1 }", [MatchArm(Constant(""), 1)]),
    ("match ($x) { 2 => }", [MatchArm(2, Constant(""))]),
])
def test_match(code, arms):
    assert items(f"{code};") == [MatchExpr(X, arms)]


def test_line_numbers():
    (match,) = items("\nmatch\n($x) {\n1\n=> 2,\ndefault => 3};")
    assert (match.lineno, [arm.lineno for arm in match.arms]) == (2, [4, 6])
    assert items("\n\nexit(\n1);")[0].lineno == 3


@pytest.mark.parametrize("code, expected", [
    # needs access: to the grammar every yield operand is a lone array element
    ("yield $a;", Yield(A)),
    ("yield $k => $a;", Yield(A)),
    ("$x = yield $a;", Assignment(X, Yield(A), False)),
    # needs strings
    ("require_once 'a.php';", Require("a.php", True)),
    ("match ($x) { 1, 2 => 'a', default => 'c' };",
     MatchExpr(X, [MatchArm([1, 2], "a"), MatchArm(None, "c")])),
])
def test_with_other_areas(code, expected):
    assert items(code) == [expected]
