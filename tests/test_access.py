"""Property and constant access, static properties, subscripts, array literals
and object creation."""

import pytest

from zarnu import (Array, ArrayElement, ArrayOffset, FunctionCall, MagicConstant,
                   NamedArgument, New, NullsafePropertyAccess, ObjectProperty, Parameter,
                   StaticProperty, Variable, Yield, Zarnu)
from php import expression

V = Variable


def E(value, key=None, is_ref=False):
    return ArrayElement(key, value, is_ref)


@pytest.mark.parametrize("code, expected", [
    ("$o->p", ObjectProperty(V("$o"), "p")),
    ("$o->p->q", ObjectProperty(ObjectProperty(V("$o"), "p"), "q")),
    ("$o->p /* c */ ->q", ObjectProperty(ObjectProperty(V("$o"), "p"), "q")),
    ("$o->$p", ObjectProperty(V("$o"), V("$p"))),
    ("$o->{$p}", ObjectProperty(V("$o"), V("$p"))),
    # Any other computed name stays as written.
    ("$o->{'p'}", ObjectProperty(V("$o"), "'p'")),
    ("$o->$$p", ObjectProperty(V("$o"), "$$p")),
    ("$o?->p", NullsafePropertyAccess(V("$o"), "p")),
    ("$o?->$p", NullsafePropertyAccess(V("$o"), V("$p"))),
    # Class constants.
    ("Foo::BAR", StaticProperty("Foo", "BAR")),
    ("\\A\\Foo::BAR", StaticProperty("\\A\\Foo", "BAR")),
    ("SELF::BAR", StaticProperty("self", "BAR")),
    ("$obj::BAR", StaticProperty(V("$obj"), "BAR")),
    ("Foo:: /* c */ BAR", StaticProperty("Foo", "BAR")),
    ("Foo::{$c}", StaticProperty("Foo", V("$c"))),
    ("Foo::{'BAR'}", StaticProperty("Foo", "'BAR'")),
    ("Foo::class", "Foo"),
    ("Foo::CLASS", "Foo"),  # the keyword is case-insensitive
    ("\\App\\Foo::class", "\\App\\Foo"),
    ("static::class", "static"),
    ("$obj::class", StaticProperty(V("$obj"), "class")),
    ("$a[0]::class", StaticProperty(ArrayOffset(V("$a"), 0), "class")),
    # Static properties: names, and scopes written with "$", are variables
    # made from the text as written.
    ("Foo::$bar", StaticProperty("Foo", V("$bar"))),
    ("STATIC::$bar", StaticProperty("static", V("$bar"))),
    ("$obj::$bar", StaticProperty(V("$obj"), V("$bar"))),
    ("Foo::$$p", StaticProperty("Foo", V("$$p"))),
])
def test_member_access(code, expected):
    assert expression(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("$a[0]", ArrayOffset(V("$a"), 0)),
    ("$a[]", ArrayOffset(V("$a"), None)),
    ("$a[/* c */]", ArrayOffset(V("$a"), None)),
    ("$a /* c */ [$i]", ArrayOffset(V("$a"), V("$i"))),
    # A constant offset is held as its name.
    ("$a[K]", ArrayOffset(V("$a"), "K")),
    ("$a[\\N\\K]", ArrayOffset(V("$a"), "\\N\\K")),
    # A magic constant is no bare name: it keeps its node and value.
    ("$a[__LINE__]", ArrayOffset(V("$a"), MagicConstant("__LINE__", 1))),
    ("$a[__CLASS__][K]",
     ArrayOffset(ArrayOffset(V("$a"), MagicConstant("__CLASS__", None)), "K")),
    ("$a[$i][$j]", ArrayOffset(ArrayOffset(V("$a"), V("$i")), V("$j"))),
    ("f()[0]", ArrayOffset(FunctionCall("f", []), 0)),
    # The offset goes to the property, as PHP 7 and later read it.
    ("$o->$p[0]", ArrayOffset(ObjectProperty(V("$o"), V("$p")), 0)),
    ("$o->p[0]", ArrayOffset(ObjectProperty(V("$o"), "p"), 0)),
    # Braces close the property name: the offset goes to the property.
    ("$o->{$p}[0]", ArrayOffset(ObjectProperty(V("$o"), V("$p")), 0)),
    ("$o->{/* c */ $p}[0][1]", ArrayOffset(ArrayOffset(ObjectProperty(V("$o"), V("$p")), 0), 1)),
])
def test_subscripts(code, expected):
    assert expression(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("[]", Array([])),
    ("array()", Array([])),
    ("[1, 2,]", Array([E(1), E(2)])),
    ("array(1, 2)", Array([E(1), E(2)])),
    # Key and value are both kept.
    ("[1 => $a, $k => 2]", Array([E(V("$a"), 1), E(2, V("$k"))])),
    ("[1 => /* c */ $a]", Array([E(V("$a"), 1)])),
    ("[/* c */ 1 /* d */]", Array([E(1)])),
    # "&" and "..." keep their operand in a one-item list; only "&" is a
    # reference.
    ("[&$x, $k => &$y]", Array([E([V("$x")], None, True), E([V("$y")], V("$k"), True)])),
    ("[...$r]", Array([E([V("$r")])])),
    ("[[1]]", Array([E(Array([E(1)]))])),
])
def test_arrays(code, expected):
    assert expression(code) == expected


@pytest.mark.parametrize("code", ["[$a && $b]", "[1 => $a & $b]", "['&']"])
def test_an_ampersand_in_a_value_is_no_reference(code):
    (element,) = expression(code).nodes
    assert element.is_ref is False


@pytest.mark.parametrize("code, expected", [
    ("new Foo", New("Foo", [])),
    ("new Foo(1, x: $a)", New("Foo", [Parameter(1, False), NamedArgument("x", V("$a"))])),
    ("new \\App\\Foo()", New("\\App\\Foo", [])),
    ("new static", New("static", [])),
    # A computed class stays as written.
    ("new $cls($a)", New("$cls", [Parameter(V("$a"), False)])),
    ("new (f())", New("(f())", [])),
    ("new Foo /* c */ (1)", New("Foo", [Parameter(1, False)])),
    ("new Foo(...)", New("Foo", [])),
    ("new class(1) extends B {}", New("class(1) extends B {}", [])),
])
def test_object_creation(code, expected):
    assert expression(code) == expected


def test_line_numbers():
    array = Zarnu().parse("<?php\n[1,\n 2 =>\n 3, [\n4]];")[0]
    assert array.lineno == 2
    assert [e.lineno for e in array.nodes] == [2, 3, 4]
    assert array.nodes[2].value.nodes[0].lineno == 5
    prop = Zarnu().parse("<?php\n$obj\n::\n$bar;")[0]
    assert (prop.lineno, prop.node.lineno, prop.name.lineno) == (2, 2, 2)
    offset = Zarnu().parse("<?php\n$o->\n$p\n[0];")[0]
    assert (offset.lineno, offset.node.lineno, offset.node.name.lineno) == (2, 2, 3)


@pytest.mark.parametrize("code, expected", [
    ("['a' => 1, 'b' => &$x]", Array([E(1, "a"), E([V("$x")], "b", True)])),
    ("$a['k']", ArrayOffset(V("$a"), "k")),
    # Outside an array an element is its value.
    ("yield $k => $v", Yield(V("$v"))),
])
def test_with_other_constructs(code, expected):
    assert expression(code) == expected
