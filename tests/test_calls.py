"""Calls and their arguments: function, method, nullsafe and static calls,
first-class callables, and the call forms of isset, empty, eval, exit and die."""

import pytest

from zarnu import (Empty, Eval, Exit, FirstClassCallable, FunctionCall, IsSet,
                   MethodCall, NamedArgument, NullsafeCall, Parameter, StaticMethodCall,
                   Variable, Zarnu)
from php import expression

V = Variable


def P(node, is_ref=False):
    return Parameter(node, is_ref)


@pytest.mark.parametrize("code, expected", [
    ("foo()", FunctionCall("foo", [])),
    ("foo(1, x: 2)", FunctionCall("foo", [P(1), NamedArgument("x", 2)])),
    ("foo(1,)", FunctionCall("foo", [P(1)])),
    # A callee written as a name is its text, case and backslashes kept.
    ("\\App\\Foo($a)", FunctionCall("\\App\\Foo", [P(V("$a"))])),
    ("namespace\\f()", FunctionCall("namespace\\f", [])),
    ("__LINE__()", FunctionCall("__LINE__", [])),
    # A computed callee is its translation.
    ("$f(1)", FunctionCall(V("$f"), [P(1)])),
    ("f()(2)", FunctionCall(FunctionCall("f", []), [P(2)])),
    # Comments between the arguments leave no item.
    ("f($a /* c */, /* d */ $b)", FunctionCall("f", [P(V("$a")), P(V("$b"))])),
    ("f(x: /* c */ $b)", FunctionCall("f", [NamedArgument("x", V("$b"))])),
    # A spread holds its operand in a one-item list.
    ("f(...$args)", FunctionCall("f", [P([V("$args")])])),
    ("f(&$a)", FunctionCall("f", [P(V("$a"), True)])),
    ("f(& /* c */ $a)", FunctionCall("f", [P(V("$a"), True)])),
    # Long argument lists, within each other and among comments, read as
    # short ones do.
    ("f($a, &$b, $c, &$d, $e)", FunctionCall("f", [P(V("$a")), P(V("$b"), True), P(V("$c")),
                                                  P(V("$d"), True), P(V("$e"))])),
    ("f(g($a, $b, $c, $d, $e), /* c */ h($f), $g)",
     FunctionCall("f", [P(FunctionCall("g", [P(V(n)) for n in "$a $b $c $d $e".split()])),
                        P(FunctionCall("h", [P(V("$f"))])), P(V("$g"))])),
    ("f(/* a */ $a, /* b */ $b, /* c */ ...$c)",
     FunctionCall("f", [P(V("$a")), P(V("$b")), P([V("$c")])])),
])
def test_function_calls(code, expected):
    assert expression(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("strlen(...)", FirstClassCallable("strlen")),
    ("\\A\\f(...)", FirstClassCallable("\\A\\f")),
    ("$f(...)", FirstClassCallable(V("$f"))),
    # The callable form is tested before the intrinsic names.
    ("isset(...)", FirstClassCallable("isset")),
    ("f(/* c */ ...)", FirstClassCallable("f")),
    ("f(/* a */ /* b */ /* c */ /* d */ ...)", FirstClassCallable("f")),
    # Only a lone placeholder makes the callable form.
    ("f(...$a, ...)", FunctionCall("f", [P([V("$a")])])),
    # Methods have no callable form: the placeholder gives no argument.
    ("$o->m(...)", MethodCall(V("$o"), "m", [])),
    ("A::m(...)", StaticMethodCall("A", "m", [])),
    ("$o?->m(...)", NullsafeCall(V("$o"), "m", [])),
])
def test_first_class_callables(code, expected):
    assert expression(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("isset($a, $b)", IsSet([V("$a"), V("$b")])),
    ("ISSET($a)", IsSet([V("$a")])),
    ("isset()", IsSet([])),
    ("isset(...$a)", IsSet([[V("$a")]])),
    ("empty($a)", Empty(V("$a"))),
    ("Empty($a, $b)", Empty(V("$a"))),
    ("empty()", Empty(None)),
    # A named argument is held as it is.
    ("empty(value: $a)", Empty(NamedArgument("value", V("$a")))),
    ("eval($code, 1)", Eval(V("$code"))),
    ("eval()", Eval(None)),
    ("die(1)", Exit(1, "die")),
    # A qualified name is an ordinary function.
    ("\\isset($a)", FunctionCall("\\isset", [P(V("$a"))])),
    ("issets($a)", FunctionCall("issets", [P(V("$a"))])),
])
def test_intrinsic_calls(code, expected):
    assert expression(code) == expected


def test_exit_as_a_value():
    # `exit(...)` as a statement is the grammar's exit_statement; as a value
    # it is a call.
    (element_exit, element_die) = expression("[exit(2), die()]").nodes
    assert (element_exit.value, element_die.value) == (Exit(2, "exit"), Exit(None, "die"))


@pytest.mark.parametrize("code, is_ref", [
    ("f(&$a)", True),
    ("f($a)", False),
    # The "&" of an operator or inside a literal is no reference.
    ("f($a && $b)", False),
    ("f($a & 1)", False),
    ("f('&')", False),
    ("f(/* & */ $a)", False),
    ("f(g(&$a))", False),
])
def test_only_a_reference_modifier_makes_a_reference(code, is_ref):
    (argument,) = expression(code).params
    assert argument.is_ref is is_ref


@pytest.mark.parametrize("code, expected", [
    ("$o->m(1)", MethodCall(V("$o"), "m", [P(1)])),
    ("$o->m()->n()", MethodCall(MethodCall(V("$o"), "m", []), "n", [])),
    # A variable method name is translated, in either spelling ...
    ("$o->$m()", MethodCall(V("$o"), V("$m"), [])),
    ("$o->{$m}()", MethodCall(V("$o"), V("$m"), [])),
    ("$o->$$m()", MethodCall(V("$o"), "$$m", [])),
    # ... but a nullsafe call keeps the text.
    ("$o?->m($a)", NullsafeCall(V("$o"), "m", [P(V("$a"))])),
    ("$o?->$m()", NullsafeCall(V("$o"), "$m", [])),
    ("Foo::create(1)", StaticMethodCall("Foo", "create", [P(1)])),
    ("\\App\\Foo::create()", StaticMethodCall("\\App\\Foo", "create", [])),
    ("STATIC::create()", StaticMethodCall("static", "create", [])),
    ("Parent::create()", StaticMethodCall("parent", "create", [])),
    ("self::create()", StaticMethodCall("self", "create", [])),
    ("$cls::create()", StaticMethodCall(V("$cls"), "create", [])),
    ("$$cls::create()", StaticMethodCall(V(V("$cls")), "create", [])),
    ("A::$m()", StaticMethodCall("A", V("$m"), [])),
])
def test_method_calls(code, expected):
    assert expression(code) == expected


def test_line_numbers():
    call = Zarnu().parse("<?php\n\nf(\n  $a,\n\n  x: $b, &$c);")[0]
    assert call.lineno == 3
    assert [p.lineno for p in call.params] == [4, 6, 6]
    method = Zarnu().parse("<?php\n$o\n->m(\n1);")[0]
    assert (method.lineno, method.params[0].lineno) == (2, 4)
    assert Zarnu().parse("<?php\n\nisset(\n$a);")[0].lineno == 3


@pytest.mark.parametrize("code, expected", [
    ("f('x')", FunctionCall("f", [P("x")])),
    ("die('x')", Exit("x", "die")),
    ("'strlen'('x')", FunctionCall("strlen", [P("x")])),
])
def test_with_string_arguments(code, expected):
    assert expression(code) == expected


# The grammar reads a class name that is also a cast type as the cast keyword
# at the start of an argument; such a name must come out as any other does.
@pytest.mark.parametrize("template", [
    "f({}::A);", "f(1, {}::$a);", "f({} ::A, x: {}::class);", "new X({}\\Y::B + 1);",
    "$o->m({}::m(), ...{}::$b);", "#[A({}::A)] function g() {}",
    '$s = "{{$f({}::A)}}";', "<<<E\n{{$f({}::A)}}\nE;",
])
@pytest.mark.parametrize("name", ["Binary", "integer", "STRING", "Real", "unset", "Bool"])
def test_class_names_that_are_cast_types(template, name):
    parser = Zarnu()
    like = repr(parser.parse("<?php " + template.format("Xyz", "Xyz")))
    assert repr(parser.parse("<?php " + template.format(name, name))) == like.replace("Xyz", name)
