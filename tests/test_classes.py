"""Classes, interfaces, traits and enums with their members: constants,
properties and their hooks, enum cases and trait uses with alias rules."""

import pytest

from zarnu import (Block, Class, ClassConstant, ClassConstants, ClassVariable, ClassVariables,
                   Constant, ConstantDeclaration, ConstantDeclarations, Enum, EnumCase,
                   Interface, Method, PropertyHook, Return, StaticProperty, Trait, TraitModifier,
                   TraitUse, Variable, Zarnu)
from php import blocks_left_by


def item(code):
    items = Zarnu().parse("<?php " + code)
    assert len(items) == 1, items
    return items[0]


def members(code):
    """The members of `class C { code }`."""
    return item("class C { " + code + " }").nodes


def m(name, modifiers=()):
    return Method(name, list(modifiers), [], [], False)


@pytest.mark.parametrize("code, expected", [
    ("final class A extends B implements J, K { use T; const X = 1, Y = 2; public $p = 3; }",
     Class("A", "final", "B", ["J", "K"], [TraitUse("T", [])],
           [ClassConstants([ClassConstant("X", 1), ClassConstant("Y", 2)]),
            ClassVariables(["public"], [ClassVariable("$p", 3)], None)])),
    # Of `final` and `readonly` the first written is the type; `abstract` is
    # not recorded.
    ("abstract class A {}", Class("A", None, None, [], [], [])),
    ("readonly final class A {}", Class("A", "readonly", None, [], [], [])),
    ("FINAL READONLY class A {}", Class("A", "final", None, [], [], [])),
    # Names as written, namespace included; comments are no names.
    ("class A extends /* p */ \\N\\B implements /* i */ \\I, /* j */ N\\J {}",
     Class("A", None, "\\N\\B", ["\\I", "N\\J"], [], [])),
    # The members keep their order; several trait uses each add one item.
    ("class A { function f(); use T; const /* c */ X = /* one */ 1; use U; function g(); }",
     Class("A", None, None, [], [TraitUse("T", []), TraitUse("U", [])],
           [m("f"), ClassConstants([ClassConstant("X", 1)]), m("g")])),
])
def test_classes(code, expected):
    assert item(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("interface I extends A, /* c */ \\N\\B { const N = 1; function f(); }",
     Interface("I", "A, \\N\\B", [ConstantDeclarations([ConstantDeclaration("N", 1)]), m("f")])),
    ("interface I extends A {}", Interface("I", "A", [])),
    ("interface I {}", Interface("I", None, [])),
    # A trait's constants are no class constants.
    ("trait T { use U; const Z = 1; function f(); }",
     Trait("T", [TraitUse("U", [])], [ConstantDeclarations([ConstantDeclaration("Z", 1)]), m("f")])),
])
def test_interfaces_and_traits(code, expected):
    assert item(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("enum E: string implements I, /* c */ J { case A = 1; case B; }",
     Enum("E", "string", ["I", "J"], [EnumCase("A", 1), EnumCase("B", None)])),
    ("enum E { case A = X; }", Enum("E", None, [], [EnumCase("A", Constant("X"))])),
    # Constants, methods and trait uses stay among the cases, in order.
    ("enum E: int { case A = 1; const X = 1; use T; public function f(); case B = 2; }",
     Enum("E", "int", [], [EnumCase("A", 1), ConstantDeclarations([ConstantDeclaration("X", 1)]),
                           TraitUse("T", []), m("f", ["public"]), EnumCase("B", 2)])),
])
def test_enums(code, expected):
    assert item(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("var $v;", ClassVariables([], [ClassVariable("$v", None)], None)),
    ("public static readonly int $n;",
     ClassVariables(["public", "static", "readonly"], [ClassVariable("$n", None)], None)),
    ("PRIVATE $a = 1, $b, $c = C;",
     ClassVariables(["PRIVATE"], [ClassVariable("$a", 1), ClassVariable("$b", None),
                                  ClassVariable("$c", Constant("C"))], None)),
    # Hook names are lowercased; a hook's parameters are not recorded.
    ("public $s { GET; set(string $v) => $v; }",
     ClassVariables(["public"], [ClassVariable("$s", None)],
                    [PropertyHook("get", [], None), PropertyHook("set", [], Variable("$v"))])),
])
def test_properties(code, expected):
    assert members(code) == [expected]


TM = TraitModifier


@pytest.mark.parametrize("code, expected", [
    ("use A;", TraitUse("A", [])),
    # Qualified names are kept as written; several traits share the name.
    ("use \\Ns\\T;", TraitUse("\\Ns\\T", [])),
    ("use namespace\\T;", TraitUse("namespace\\T", [])),
    ("use A, \\B\\C;", TraitUse("A, \\B\\C", [])),
    # Only `as` rules are recorded.
    ("use A, B { A::foo insteadof B; B::foo as protected bar; foo as private; x as y; }",
     TraitUse("A, B", [TM(StaticProperty("B", "foo"), "bar", "protected"),
                       TM("foo", None, "private"), TM("x", "y", None)])),
    # Comments take no position in a rule.
    ("use U { /* a */ B::foo /* b */ as /* c */ PUBLIC bar; }",
     TraitUse("U", [TM(StaticProperty("B", "foo"), "bar", "public")])),
    ("use U {}", TraitUse("U", [])),
    # Blanks and comments around "::" belong to neither name.
    ("use A, B { A :: m as n; B\n::\nx as y; B::/* c */z as w; }",
     TraitUse("A, B", [TM(StaticProperty("A", "m"), "n", None), TM(StaticProperty("B", "x"), "y", None),
                       TM(StaticProperty("B", "z"), "w", None)])),
])
def test_trait_uses(code, expected):
    assert item("class C { " + code + " }").traits == [expected]


def test_line_numbers():
    cls = item("\nclass A {\n const X = 1,\n  Y = 2;\n public $a,\n  $b { get => 1;\n set => 2; }\n"
               " use T {\n  a as b;\n }\n}")
    constants, properties = cls.nodes
    # Class constants carry the class's line, properties their declaration's,
    # hooks and alias rules their own.
    assert [constants.lineno] + [c.lineno for c in constants.nodes] == [2, 2, 2]
    assert [properties.lineno] + [v.lineno for v in properties.nodes] == [5, 5, 5]
    assert [h.lineno for h in properties.hooks] == [6, 7]
    rule = cls.traits[0].renames[0]
    assert (cls.traits[0].lineno, rule.lineno) == (8, 9)
    enum = item("enum E {\n case A;\n\n case B;\n}")
    assert [c.lineno for c in enum.nodes] == [2, 4]


DECLARATIONS = """<?php
namespace App\\Models;
use A\\B as C, D\\{E, F as G};
const K = 1;
final class Shop extends Base implements I, J {
    use T, U { T::a as protected b; c as private; U::d insteadof T; }
    const X = 1, Y = [2];
    public static ?int $n = 0, $m { get => 1; set { $this->m = $value; } }
    public function __construct(private readonly int $x = 0, public &$y) { __METHOD__; }
    abstract protected function &g(int ...$a): static;
}
interface I extends A, B { const N = 1; function f(); }
trait T { use V; function t() { return fn&($x) => function () use (&$x) { $x; }; } }
enum E: string implements I { case A = 'a'; const Z = 1; function f() {} }
namespace Other { function h() { __FUNCTION__; } }
"""


def test_broken_declarations_never_crash():
    parser = Zarnu()
    for end in range(len(DECLARATIONS) + 1):
        assert isinstance(parser.parse(DECLARATIONS[:end]), list)
    for start in range(0, len(DECLARATIONS), 7):
        assert isinstance(parser.parse("<?php " + DECLARATIONS[start:]), list)


def test_declarations_leave_no_allocations_behind():
    parser = Zarnu()
    assert blocks_left_by(lambda: parser.parse(DECLARATIONS)) < 30


def test_hook_with_block_body():
    # Needs the statement translations.
    assert members("public $p { get { return 1; } }") == [
        ClassVariables(["public"], [ClassVariable("$p", None)],
                       [PropertyHook("get", [], Block([Return(1)]))])]
