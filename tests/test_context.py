"""The translation context as magic constants see it: namespaces, functions,
classes and methods qualify one another and hold for exactly the span of
their declaration. Each case lists the values of the magic constants of the
snippet in source order."""

import pytest

from zarnu import MagicConstant, Zarnu


def walk(value):
    yield value
    if isinstance(value, list):
        for item in value:
            yield from walk(item)
    elif hasattr(value, "fields"):
        for name in type(value).fields:
            yield from walk(getattr(value, name + "_" if name == "type" else name))


def magic_values(code):
    return [n.value for n in walk(Zarnu().parse("<?php " + code)) if isinstance(n, MagicConstant)]


@pytest.mark.parametrize("code, values", [
    # `namespace X;` holds for the rest of the file ...
    ("namespace A; __NAMESPACE__; __NAMESPACE__;", ["A", "A"]),
    ("namespace A; namespace B; __NAMESPACE__;", ["B"]),
    ("namespace A\\B; __NAMESPACE__;", ["A\\B"]),
    # ... and `namespace X { }` for its body only.
    ("namespace A { __NAMESPACE__; } __NAMESPACE__;", ["A", None]),
    ("namespace A; namespace B { __NAMESPACE__; } __NAMESPACE__;", ["B", "A"]),
    ("namespace A { } namespace { __NAMESPACE__; }", [None]),
])
def test_namespaces(code, values):
    assert magic_values(code) == values


@pytest.mark.parametrize("code, values", [
    ("function f() { __FUNCTION__; } __FUNCTION__;", ["f", None]),
    ("function f() { function g() { __FUNCTION__; } __FUNCTION__; }", ["g", "f"]),
    # Closures and arrow functions keep the enclosing function.
    ("function f() { $c = function () { __FUNCTION__; }; }", ["f"]),
    ("function f() { $c = fn() => __FUNCTION__; }", ["f"]),
    ("$c = function () { __FUNCTION__; };", [None]),
    ("function f() { __METHOD__; __CLASS__; }", [None, None]),
])
def test_functions(code, values):
    assert magic_values(code) == values


@pytest.mark.parametrize("code, values", [
    ("namespace A; function f() { __FUNCTION__; }", ["A\\f"]),
    ("namespace A { } namespace { function h() { __FUNCTION__; } }", ["h"]),
    ("namespace A { } namespace B { function k() { __FUNCTION__; } }", ["B\\k"]),
])
def test_functions_in_namespaces(code, values):
    assert magic_values(code) == values


@pytest.mark.parametrize("code, values", [
    ("class Shop { function m() { __METHOD__; __FUNCTION__; __CLASS__; } }",
     ["Shop::m", "Shop::m", "Shop"]),
    ("class Shop { function m() {} function n() { __METHOD__; } } __CLASS__;",
     ["Shop::n", None]),
    ("class A { function m() { class B { } __CLASS__; } }", ["A"]),
    # Traits, interfaces and enums leave the class alone: at top level their
    # methods see no class, method or function.
    ("trait T { function m() { __CLASS__; __METHOD__; __FUNCTION__; } }", [None] * 3),
    ("enum E { case A; function m() { __CLASS__; __METHOD__; } }", [None] * 2),
])
def test_classes(code, values):
    assert magic_values(code) == values


def test_classes_in_namespaces():
    code = ("namespace A; class Shop { function m() { __METHOD__; __FUNCTION__; __CLASS__; } }"
            " __CLASS__; __NAMESPACE__;")
    assert magic_values(code) == ["A\\Shop::m", "A\\Shop::m", "A\\Shop", None, "A"]


def test_context_is_fresh_for_each_parse():
    parser = Zarnu()
    parser.parse("<?php namespace A; function f() { }")
    assert [n.value for n in walk(parser.parse("<?php __NAMESPACE__; __FUNCTION__;"))
            if isinstance(n, MagicConstant)] == [None, None]
