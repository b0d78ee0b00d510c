"""Node equality: same class and pairwise equal fields, in field order, with
lineno ignored; no ordering and no hash."""

import operator
import sys

import pytest

from zarnu import Array, Assignment, Block, Print, Return, Variable
from node_classes import ATTRS, build, by_class, compare_with_code, panic_exception, throw


@by_class
def test_every_field_takes_part(name):
    assert build(name, lineno=1) == build(name, lineno=2) and not build(name) != build(name)
    for i in range(len(ATTRS[name])):
        values = list(range(len(ATTRS[name])))
        values[i] = "other"
        assert build(name) != build(name, values) and not build(name) == build(name, values)


class Anything:
    def __eq__(self, other):
        return True


class Raises:
    def __eq__(self, other):
        raise ValueError("eq")


@pytest.mark.parametrize("left, right, equal", [
    (Return(1, lineno=3), Return(1), True),
    (Return(1), Print(1), False),
    (Print(1), Return(1), False),
    (Return(1), 5, False),
    (5, Return(1), False),
    (Return(None), None, False),
    (Return(1), Return(1.0), True),
    (Return(1), Return(True), True),
    (Block([]), Block(()), False),
    (Block([Return(1)]), Block([Return(1)]), True),
    (Block([Return(1)]), Block([Return(2)]), False),
    (Return(1), Anything(), False),
    (Anything(), Return(1), True),
    (Assignment(Variable("a"), 1, Raises()), Assignment(Variable("b"), 1, Raises()), False),
])
def test_equality(left, right, equal):
    assert (left == right) is equal and (left != right) is (not equal)


def test_receiver_field_is_the_left_operand():
    calls = []

    class Spy:
        def __init__(self, tag):
            self.tag = tag

        def __eq__(self, other):
            calls.append((self.tag, other.tag))
            return True

        def __ne__(self, other):
            raise AssertionError("a field's != is never used")

    p, q = Return(Spy("u")), Return(Spy("v"))
    assert p == q and q == p and not p != q
    assert calls == [("u", "v"), ("v", "u"), ("u", "v")]


class BadTruth:
    def __eq__(self, other):
        return self

    def __bool__(self):
        raise KeyError("truth")


@pytest.mark.parametrize("bad, error", [(Raises(), ValueError), (BadTruth(), KeyError)])
def test_field_errors_propagate(bad, error):
    node = Assignment(Variable("a"), bad, 1)
    for other in (node, Assignment(Variable("a"), 2, 1)):
        for op in (operator.eq, operator.ne):
            with pytest.raises(error):
                op(node, other)


def test_nan_has_no_identity_shortcut():
    nan = float("nan")
    n = Return(nan)
    assert not n == n and n != n and n in [n] and [n] == [n]
    assert Array([nan]) == Array([nan]) and Array([nan]) != Array([float("nan")])


def test_no_ordering_and_no_hash():
    a, b = Return(1), Return(2)
    for op in ("<", "<=", ">", ">="):
        with pytest.raises(TypeError):
            eval(f"a {op} b")
    with pytest.raises(TypeError):
        sorted([a, b])
    assert a.__lt__(b) is NotImplemented and a.__ge__(b) is NotImplemented
    with pytest.raises(TypeError):
        {a}


def test_self_containing_nodes():
    b, c = Block([]), Block([])
    b.nodes.append(b)
    c.nodes.append(c)
    assert b == b
    with pytest.raises(RecursionError):
        b == c
    b.nodes.clear()
    c.nodes.clear()


@pytest.mark.parametrize("op", [6, -1, 100])
def test_invalid_operator_code_is_an_internal_fault(op, capfd):
    panic = panic_exception()
    assert panic.__name__ == "PanicException" and panic.__bases__ == (BaseException,)
    with pytest.raises(panic) as info:
        compare_with_code(Return(1), Return(1), op)
    assert info.value.args == ("invalid compareop",)
    assert "invalid compareop" in capfd.readouterr().err


def hooks(error):
    """A field whose every hook, and the str() of its repr, raises `error`."""
    raises = lambda *args: throw(error)  # noqa: E731
    shown = type("Shown", (str,), {"__str__": raises})("shown")
    shows = type("Shows", (), {"__repr__": lambda s: shown})()
    return type("Hooks", (), {"__eq__": raises, "__repr__": raises, "generic": raises,
                              "accept": raises, "shown": shows})()


@pytest.mark.parametrize("operation, hook_takes_subclass", [
    (lambda n: n == Return(1), False), (repr, False), (lambda n: n.accept(id), False),
    (lambda n: n.generic(), False), (lambda n: repr(Return(n.node.shown)), True),
], ids=["compare", "repr", "accept", "generic", "repr result"])
def test_panic_from_caller_code_is_resumed(operation, hook_takes_subclass, capfd, monkeypatch):
    panic, hooked = panic_exception(), []
    monkeypatch.setattr(sys, "unraisablehook", hooked.append)
    unprintable = type("Unprintable", (), {"__str__": lambda self: throw(ValueError())})()
    for raised, message in [(panic("resumed"), "resumed"),
                            (panic(unprintable), "Unwrapped panic from Python code")]:
        with pytest.raises(panic) as info:
            operation(Return(hooks(raised)))
        assert info.value is not raised and info.value.args == (message,)
    assert "Python stack trace below:" in capfd.readouterr().err and hooked == []
    sub = type("SubPanic", (panic,), {})()  # an ordinary exception
    if hook_takes_subclass:
        assert operation(Return(hooks(sub))) == "Return(<unprintable Shown object>)"
        assert hooked[0].exc_value is sub
    else:
        with pytest.raises(panic) as info:
            operation(Return(hooks(sub)))
        assert info.value is sub
