"""Text form of nodes: the class name and the reprs of the fields."""

import sys

import pytest

from zarnu import Assignment, Block, Class, Echo, If, Return, Variable
from node_classes import ATTRS, build, by_class, throw


@by_class
def test_every_class(name):
    values = [f"v{i}" for i in range(len(ATTRS[name]))]
    node = build(name, values, lineno=12)
    assert repr(node) == str(node) == f"{node}" == f"{name}({', '.join(map(repr, values))})"


@pytest.mark.parametrize("node, text", [
    (Return(None, lineno=7), "Return(None)"),
    (Variable("x"), "Variable('x')"),
    (Echo(["a", 1]), "Echo(['a', 1])"),
    (Assignment(Variable("a"), 1.5, False), "Assignment(Variable('a'), 1.5, False)"),
    (If(Variable("a"), Block([]), [], None), "If(Variable('a'), Block([]), [], None)"),
    (Class("A", None, None, [], [], []), "Class('A', None, None, [], [], [])"),
])
def test_text(node, text):
    assert repr(node) == text


class Shows:
    def __init__(self, result):
        self.result = result

    def __repr__(self):
        return throw(self.result) if isinstance(self.result, BaseException) else self.result


@pytest.mark.parametrize("shown, text", [
    ("a\ud800b", "a\ufffd\ufffd\ufffdb"),
    ("\udcff\ud83d\ude00", "\ufffd" * 9),
    ("x\0y\U0001f600", "x\0y\U0001f600"),
    (type("Loud", (str,), {"__str__": lambda self: "loud"})("quiet"), "loud"),
])
def test_field_text_is_the_str_of_the_repr(shown, text):
    assert repr(Return(Shows(shown))) == f"Return({text})"


def test_self_reference_through_a_list():
    b = Block([])
    b.nodes.append(b)
    assert repr(b) == "Block([Block([...])])"
    b.nodes.clear()


def test_field_repr_errors_propagate_and_stop():
    error = ValueError("no repr")
    with pytest.raises(ValueError) as info:
        repr(Assignment(1, Shows(error), Shows(AssertionError("later field rendered"))))
    assert info.value is error
    with pytest.raises(TypeError):
        repr(Return(Shows(5)))


def test_unprintable_repr_result_goes_to_the_unraisable_hook(monkeypatch):
    class S(str):
        def __str__(self):
            raise KeyError("no str")

    seen, result = [], S("text")
    monkeypatch.setattr(sys, "unraisablehook", seen.append)
    assert repr(Assignment(1, Shows(result), 2)) == "Assignment(1, <unprintable S object>, 2)"
    assert [(type(u.exc_value), u.object) for u in seen] == [(KeyError, result)]


def test_renamed_class_keeps_its_text():
    try:
        Block.__name__ = "Renamed"
        assert repr(Block([])) == "Block([])"
    finally:
        Block.__name__ = "Block"
