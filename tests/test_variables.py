"""Variables and computed variable names: `$a`, `$$a`, `${a}` and the access
forms inside `${...}`, which keep member names as raw text."""

import pytest

from zarnu import (ArrayOffset, BinaryOp, FunctionCall, MagicConstant, MethodCall,
                   ObjectProperty, StaticProperty, Variable, Zarnu)
from php import expression


def translates_strings():
    return Zarnu().parse('<?php "x$a";') == [BinaryOp(".", "x", Variable("$a"))]


needs_strings = pytest.mark.skipif(not translates_strings(),
                                   reason="strings are not translated yet")

V = Variable


@pytest.mark.parametrize("code, expected", [
    ("$a", V("$a")),
    ("$this", V("$this")),
    ("$ä", V("$ä")),
    ("$$a", V(V("$a"))),
    ("$$$a", V(V(V("$a")))),
    ("${a}", V("$a")),
    ("${$a}", V(V("$a"))),
    ("${$a[0]}", V(ArrayOffset(V("$a"), 0))),
    ("${$a[0][1]}", V(ArrayOffset(ArrayOffset(V("$a"), 0), 1))),
    ("${$a[]}", V(ArrayOffset(V("$a"), None))),
    ("${a[1]}", V(ArrayOffset(V("$a"), 1))),
    # A constant index stands as its name, not as a Constant node.
    ("${$a[K]}", V(ArrayOffset(V("$a"), "K"))),
    ("${$a[\\N\\K]}", V(ArrayOffset(V("$a"), "\\N\\K"))),
    ("${a[__LINE__]}", V(ArrayOffset(V("$a"), MagicConstant("__LINE__", 1)))),
    ("${$a[/* c */ 0]}", V(ArrayOffset(V("$a"), 0))),
    ("${$o->p}", V(ObjectProperty(V("$o"), "p"))),
    ("${$a->b->c}", V(ObjectProperty(ObjectProperty(V("$a"), "b"), "c"))),
    ("${$o->m()}", V(MethodCall(V("$o"), "m", []))),
    # Member names are the text as written, even when they are variables.
    ("${$o->$m()}", V(MethodCall(V("$o"), "$m", []))),
    ("${$o->$p}", V(ObjectProperty(V("$o"), "$p"))),
    ("${f()}", V(FunctionCall("f", []))),
    ("${\\A\\f()}", V(FunctionCall("\\A\\f", []))),
    ("${A::B}", V(StaticProperty("A", "B"))),
    ("${A::$b}", V(StaticProperty("A", V("$b")))),
    ("${static::$b}", V(StaticProperty("static", V("$b")))),
    # A name the grammar had to make up is empty.
    ("${}", V("$")),
])
def test_variables(code, expected):
    assert expression(code) == expected


def test_call_arguments_inside_braces_are_translated():
    (call,) = [expression("${$o->m(1, $x)}").name]
    assert (call.node, call.name) == (V("$o"), "m")
    assert len(call.params) == 2
    (call,) = [expression("${f($x)}").name]
    assert call.name == "f" and len(call.params) == 1


def test_line_numbers():
    outer = expression("\n${\n\n$a\n[0]}")
    assert outer.lineno == 2
    assert outer.name.lineno == 4 and outer.name.node.lineno == 4
    assert expression("$\n$a").name.lineno == 2


def test_dynamic_name_built_from_a_string():
    if Zarnu().parse("<?php 'a';") != ["a"]:
        pytest.skip("strings are not translated yet")
    assert expression("${'a'}") == V("a")


@needs_strings
@pytest.mark.parametrize("code, expected", [
    # Inside a string a computed name is the same variable as outside one.
    ('"${a}"', V("$a")),
    ('"{$$a}"', V(V("$a"))),
    ('"${$a}"', V(V("$a"))),
    ("\"${'k'}\"", V("k")),
    ('"{$$$a}"', V(V(V("$a")))),
    ('"{$$a->p}"', ObjectProperty(V(V("$a")), "p")),
    ('"{$$a[0]}"', ArrayOffset(V(V("$a")), 0)),
    ('"${$o->p}"', V(ObjectProperty(V("$o"), "p"))),
    ('"${a[__LINE__]}"', V(ArrayOffset(V("$a"), MagicConstant("__LINE__", 1)))),
])
def test_inside_strings(code, expected):
    assert expression(code) == expected
