"""Functions, methods, closures, arrow functions and their parameters. Bodies
hold expression statements where they can, so that the expected statement
lists do not depend on how other statements translate."""

import pytest

from zarnu import (ArrowFunction, Closure, Constant, ConstructorParameter, FormalParameter,
                   Function, LexicalVariable, Method, Return, Variable)
from php import parse

V = Variable


def item(code):
    items = parse(code)
    assert len(items) == 1, items
    return items[0]


def method(code):
    """The members of `class C { code }`."""
    return item("class C { " + code + " }").nodes


FP = FormalParameter


@pytest.mark.parametrize("code, expected", [
    # A variadic parameter has no class of its own: its parts stand as a list.
    ("function f(int $a = 1, &$b, ...$c): ?int { $a; }",
     Function("f", [FP("$a", 1, False, "int"), FP("$b", None, True, None), [V("$c")]],
              [V("$a")], False, "?int")),
    # The name is the one written, types are kept as written.
    ("function Über(A|B $x = FOO, ?\\N\\T $y = null): static { $x; $y; }",
     Function("Über", [FP("$x", Constant("FOO"), False, "A|B"),
                       FP("$y", Constant("null"), False, "?\\N\\T")],
              [V("$x"), V("$y")], False, "static")),
    ("function f($a = /* none */ 2) { $a; }",
     Function("f", [FP("$a", 2, False, None)], [V("$a")], False, None)),
    # Declared to return by reference.
    ("function &f() { $a; }", Function("f", [], [V("$a")], True, None)),
])
def test_functions(code, expected):
    assert item(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("abstract protected function g();", Method("g", ["abstract", "protected"], [], [], False)),
    # Fixed words are lowercase, the visibility keeps its case.
    ("FINAL Public STATIC function h() { $a; }",
     Method("h", ["final", "Public", "static"], [], [V("$a")], False)),
    ("public static function &r($a) { $a; }",
     Method("r", ["public", "static"], [FP("$a", None, False, None)], [V("$a")], True)),
    ("function i();", Method("i", [], [], [], False)),
    ("function j() {}", Method("j", [], [], [], False)),
])
def test_methods(code, expected):
    assert method(code) == [expected]


@pytest.mark.parametrize("code, expected", [
    ("public function __construct(private readonly int $x = 0, public &$y, $z) { }",
     [ConstructorParameter(["private"], "$x", "int", 0),
      # The variable of a by-reference parameter is read inside its `&`.
      ConstructorParameter(["public"], "$y", None, None),
      FP("$z", None, False, None)]),
    ("function __construct(PROTECTED ?A $a = B) { }",
     [ConstructorParameter(["PROTECTED"], "$a", "?A", Constant("B"))]),
])
def test_promoted_parameters(code, expected):
    assert method(code)[0].params == expected


@pytest.mark.parametrize("code, expected", [
    ("function () use ($x, &$y) { $x; };",
     Closure([], [LexicalVariable("$x", False), LexicalVariable("$y", True)], [V("$x")], False)),
    ("function &() {};", Closure([], [], [], True)),
    # The return type and `static` are not recorded.
    ("static function (int ...$a): int { $a; };", Closure([[V("$a")]], [], [V("$a")], False)),
    ("function ($a = 1, &$b) use (&$c) { };",
     Closure([FP("$a", 1, False, None), FP("$b", None, True, None)],
             [LexicalVariable("$c", True)], [], False)),
])
def test_closures(code, expected):
    assert item(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("fn&($x) => $x;", ArrowFunction([FP("$x", None, False, None)], None, V("$x"), True)),
    ("fn(int $x = 2): ?int => X;",
     ArrowFunction([FP("$x", 2, False, "int")], "?int", Constant("X"), False)),
    ("static fn() => fn() => 1;", ArrowFunction([], None, ArrowFunction([], None, 1, False), False)),
])
def test_arrow_functions(code, expected):
    assert item(code) == expected


def test_line_numbers():
    closure = item("function (\n $a,\n $b\n) use (\n $x,\n &$y\n) {\n};")
    assert closure.lineno == 1
    assert [p.lineno for p in closure.params] == [2, 3]
    assert [v.lineno for v in closure.vars] == [5, 6]
    function = item("\n\nfunction f(\n$a) {}")
    assert (function.lineno, function.params[0].lineno) == (3, 4)


# Empty bodies and `return` need the statement translations.
@pytest.mark.parametrize("code, expected", [
    ("function f() {}", Function("f", [], [], False, None)),
    ("function &f() {}", Function("f", [], [], True, None)),
    ("function f() { return $a; }", Function("f", [], [Return(V("$a"))], False, None)),
    ("function () { return 1; };", Closure([], [], [Return(1)], False)),
])
def test_bodies_with_statements(code, expected):
    assert item(code) == expected
