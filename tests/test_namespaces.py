"""Namespaces, namespace imports and constants outside class bodies."""

import pytest

from zarnu import (Class, Constant, ConstantDeclaration, ConstantDeclarations, Echo, Function,
                   InlineHTML, MagicConstant, Namespace, UseDeclaration, UseDeclarations,
                   Variable)
from php import parse


U = UseDeclaration


@pytest.mark.parametrize("code, expected", [
    ("namespace A\\B { $a; __NAMESPACE__; }",
     [Namespace("A\\B", [Variable("$a"), MagicConstant("__NAMESPACE__", "A\\B")])]),
    # The brace-less form holds for what follows it, outside the node.
    ("namespace A; $a;", [Namespace("A", []), Variable("$a")]),
    ("namespace { $a; }", [Namespace(None, [Variable("$a")])]),
    ("namespace A {}", [Namespace("A", [])]),
    # Declared names are written without the namespace.
    ("namespace A; function f() { $a; } class C {}",
     [Namespace("A", []), Function("f", [], [Variable("$a")], False, None),
      Class("C", None, None, [], [], [])]),
    # A namespace body is no file top: inline text there is a statement's.
    ("namespace A; ?>x<?php $a;", [Namespace("A", []), InlineHTML("x"), Variable("$a")]),
])
def test_namespaces(code, expected):
    assert parse(code) == expected


@pytest.mark.parametrize("code, expected", [
    ("use A\\B as C, D;", [U("A\\B", "C"), U("D", None)]),
    ("use \\A\\B, namespace\\C;", [U("\\A\\B", None), U("namespace\\C", None)]),
    # The kind of import is not recorded.
    ("use function A\\f;", [U("A\\f", None)]),
    ("use const A\\B as /* c */ C;", [U("A\\B", "C")]),
    # A group imports each name behind the shared prefix.
    ("use A\\{B, C\\D as E};", [U("A\\B", None), U("A\\C\\D", "E")]),
    ("use function A\\B\\{f, g};", [U("A\\B\\f", None), U("A\\B\\g", None)]),
    ("use A\\{function f, const C};", [U("A\\f", None), U("A\\C", None)]),
])
def test_use_declarations(code, expected):
    assert parse(code) == [UseDeclarations(expected)]


@pytest.mark.parametrize("code, expected", [
    ("const A = 1, B = /* two */ 2;", [ConstantDeclaration("A", 1), ConstantDeclaration("B", 2)]),
    ("const A = B;", [ConstantDeclaration("A", Constant("B"))]),
])
def test_constants(code, expected):
    assert parse(code) == [ConstantDeclarations(expected)]


def test_line_numbers():
    uses, group, constants = parse("\nuse A,\n B;\nuse C\\{\n D};\nconst X = 1,\n Y = 2;")
    assert [uses.lineno] + [u.lineno for u in uses.nodes] == [2, 2, 3]
    assert [group.lineno] + [u.lineno for u in group.nodes] == [4, 5]
    assert [constants.lineno] + [c.lineno for c in constants.nodes] == [6, 6, 6]
    namespace, variable = parse("\n\nnamespace A;\n$a;")
    assert (namespace.lineno, variable.lineno) == (3, 4)


# The statements of these bodies need the statement translations.
@pytest.mark.parametrize("code, expected", [
    ("namespace A\\B { function f() {} }", [Namespace("A\\B", [Function("f", [], [], False, None)])]),
    ("namespace { echo 1; }", [Namespace(None, [Echo([1])])]),
])
def test_namespaces_with_statements(code, expected):
    assert parse(code) == expected
