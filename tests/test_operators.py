"""Operator expressions: assignments and list destructuring, binary, unary,
increment and conditional operators, casts and error suppression."""

import gc
import threading
import tracemalloc

import pytest

from zarnu import (ArrayOffset, AssignOp, Assignment, BinaryOp, Cast, Constant,
                   FunctionCall, ListAssignment, Parameter, Pipe, PostIncDecOp,
                   PreIncDecOp, Silence, TernaryOp, UnaryOp, Variable, Zarnu)
from php import expression

V = Variable
A, B, C = V("$a"), V("$b"), V("$c")


@pytest.mark.parametrize("code, expected", [
    ("$a = 1", Assignment(A, 1, False)),
    ("$a = &$b", Assignment(A, B, True)),
    ("$a = $b = 1", Assignment(A, Assignment(B, 1, False), False)),
    ("[$a] = &$b", Assignment([A], B, True)),  # a reference never destructures
    # Comments are not operators: these stay what they are.
    ("$a = /* c */ 1", Assignment(A, 1, False)),
    ("$a /* c */ = 1", Assignment(A, 1, False)),
    ("$a += # c\n 1", AssignOp("+=", A, 1)),
    ("$a = /* c */ & /* c */ $b", Assignment(A, B, True)),
    # Destructuring: `key => target` is two items, a nested list one item,
    # and a skipped slot nothing.
    ("[$a, $b] = $c", ListAssignment([A, B], C)),
    # A skipped slot keeps its place; a trailing one leaves no item.
    ("list(, $a, ) = $c", ListAssignment([None, A], C)),
    ("[, , $a, , $b] = $c", ListAssignment([None, None, A, None, B], C)),
    ("[] = $c", ListAssignment([], C)),
    ("[1 => $a, 2 => [$b, [$a]]] = $c", ListAssignment([1, A, 2, [B, [A]]], C)),
    ("list($a, /* c */ list($b)) = $c", ListAssignment([A, [B]], C)),
])
def test_assignments(code, expected):
    assert expression(code) == expected


@pytest.mark.parametrize("op", ["+=", "-=", "*=", "/=", ".=", "%=", "**=", "??=",
                                "&=", "|=", "^=", "<<=", ">>="])
def test_compound_assignments(op):
    assert expression(f"$a {op} $b") == AssignOp(op, A, B)


@pytest.mark.parametrize("op", ["+", "-", "*", "/", "%", "**", ".", "==", "!=", "<>",
                                "===", "!==", "<", ">", "<=", ">=", "<=>", "&&",
                                "||", "and", "or", "xor", "&", "|", "^", "<<", ">>",
                                "??"])
def test_binary_operators(op):
    assert expression(f"$a {op} $b") == BinaryOp(op, A, B)


@pytest.mark.parametrize("code, expected", [
    ("$a AND $b", BinaryOp("and", A, B)),
    ("$a XoR $b", BinaryOp("xor", A, B)),
    ("$a InstanceOf Foo", BinaryOp("instanceof", A, Constant("Foo"))),
    # Shapes are the grammar's precedence and associativity.
    ("1 + 2 * 3 - 4", BinaryOp("-", BinaryOp("+", 1, BinaryOp("*", 2, 3)), 4)),
    ("2 ** 3 ** 4", BinaryOp("**", 2, BinaryOp("**", 3, 4))),
    ("$a ?? $b ?? $c", BinaryOp("??", A, BinaryOp("??", B, C))),
    ("($a . $b) . ($b . $c)", BinaryOp(".", BinaryOp(".", A, B), BinaryOp(".", B, C))),
    ("$a . /* c */ $b", BinaryOp(".", A, B)),
    ("$a |> $b |> $c", Pipe(Pipe(A, B), C)),
    ("$a +", BinaryOp("+", A, Constant(""))),  # an operand made up by the grammar
    ("-$a", UnaryOp("-", A)),
    ("~ /* c */ $a", UnaryOp("~", A)),
    ("!!$a", UnaryOp("!", UnaryOp("!", A))),
    ("$a++", PostIncDecOp("++", A)),
    ("-$a--", UnaryOp("-", PostIncDecOp("--", A))),
    ("-- /* c */ $a", PreIncDecOp("--", A)),
    ("@ /* c */ @$a", Silence(Silence(A))),
    ("$c ? $a : $b", TernaryOp(C, A, B)),
    ("$c ? : /* c */ $b", TernaryOp(C, C, B)),
    ("$a ?: $b ?: $c", TernaryOp(TernaryOp(A, A, B), TernaryOp(A, A, B), C)),
    ("(INTEGER) $a", Cast("int", A)),
    ("( Boolean ) $a", Cast("bool", A)),
    ("(REAL) (float) $a", Cast("double", Cast("double", A))),
    ("(Double) /* c */ $a", Cast("double", A)),
    ("(binary) $a + 1", BinaryOp("+", Cast("binary", A), 1)),
    ("(unset)", Cast("unset", Constant(""))),
])
def test_operators(code, expected):
    assert expression(code) == expected


def test_short_conditional_holds_two_distinct_conditions():
    node = expression("\n($a + 1)\n ?: $b")
    assert node.iftrue == node.expr == BinaryOp("+", A, 1)
    assert node.iftrue is not node.expr
    assert node.lineno == node.iftrue.lineno == 2


def test_long_short_conditional_chain_is_linear():
    # Each condition holds the chain before it; translating it twice per
    # link would take 2**60 steps.
    node = expression(" ?: ".join(f"$v{i}" for i in range(60)))
    for i in range(59, 0, -1):
        assert node.iffalse == V(f"$v{i}") and type(node.iftrue) is type(node.expr)
        node = node.expr
    assert node == V("$v0")


def test_line_numbers():
    node = expression("\n$r\n=\n$a\n. $b\n. -$c")
    assert (node.lineno, node.expr.lineno, node.expr.left.lineno) == (2, 4, 4)
    assert node.expr.right.lineno == 6


def test_long_concatenation_translates_on_a_small_stack():
    # Generated code concatenates thousands of pieces; a left-deep chain must
    # not take a native stack frame per operator.
    terms, outcome = 200_000, {}
    code = "<?php $s = " + " . ".join(["$a"] * terms) + ";"
    previous = threading.stack_size(256 * 1024)
    try:
        thread = threading.Thread(target=lambda: outcome.update(items=Zarnu().parse(code)))
        thread.start()
        thread.join()
    finally:
        threading.stack_size(previous)
    (assignment,) = outcome.pop("items")
    link, count = assignment.expr, 0
    while isinstance(link, BinaryOp):
        assert link.op == "." and link.right == A
        link, count = link.left, count + 1
    assert (link, count) == (A, terms - 1)


N = 100_000


@pytest.mark.parametrize("code", [
    " = ".join(["$a"] * N), " = &".join(["$a"] * N), " ** ".join(["$a"] * N),
    " ?: ".join(["$a"] * N), "$a ? $b : " * N + "$c", "- " * N + "$a",
    "(int)" * N + "$a", "@" * N + "$a", "[" * N + "$a" + "]" * N + " = $b",
])
def test_deep_nesting_translates_or_raises_recursion_error(code):
    parser = Zarnu()
    try:
        parser.parse(f"<?php {code};")
    except RecursionError:
        pass
    assert parser.parse("<?php $a = 1;") == [Assignment(A, 1, False)]


def test_translations_release_what_they_build():
    code = """<?php $a = 1; $a = &$b; $a .= $b; [$a, [1 => $b], , $c] = $d;
    $a . $b . $c |> $f; -$a; $i++; --$i; $a ?: $b ?: $c; $a ? $b : $c;
    (REAL) $a; @$a; $a +; (int); clone $a; print $a; include $f;
    require_once $f; yield from $g; exit(1); exit;
    match ($x) { 1, 2 => 3, default => 4 }; match ($x) { => };"""
    parser = Zarnu()
    for _ in range(20):
        parser.parse(code)
    gc.collect()
    tracemalloc.start()
    try:
        before = tracemalloc.get_traced_memory()[0]
        for _ in range(1000):
            parser.parse(code)
        gc.collect()
        grown = tracemalloc.get_traced_memory()[0] - before
    finally:
        tracemalloc.stop()
    assert grown < 8_000  # one object kept per parse would be tens of kB


@pytest.mark.parametrize("code, expected", [
    # needs strings
    ("['k' => $a] = $c", ListAssignment(["k", A], C)),
    ("$a .= 'x'", AssignOp(".=", A, "x")),
    # needs access
    ("$a[0] = $b", Assignment(ArrayOffset(A, 0), B, False)),
    ("[$a[0], $b] = $c", ListAssignment([ArrayOffset(A, 0), B], C)),
    # needs calls
    ("@f($a)", Silence(FunctionCall("f", [Parameter(A, False)]))),
])
def test_with_other_areas(code, expected):
    assert expression(code) == expected
