"""Node constructors: argument binding, its messages, and lineno conversion."""

import operator
import re

import pytest

import zarnu
from zarnu import Assignment, Cast, If, InlineHTML, Namespace
from node_classes import ATTRS, by_class, quoted_list


@by_class
def test_binding(name):
    cls, attrs = getattr(zarnu, name), ATTRS[name]
    values, n = [object() for _ in attrs], len(attrs)
    for node in (cls(*values), cls(**dict(zip(attrs, values))), cls.__new__(cls, *values)):
        assert all(getattr(node, a) is v for a, v in zip(attrs, values))
        assert node.lineno is None
    plural = "argument" if n == 1 else "arguments"
    with pytest.raises(TypeError, match=re.escape(
            f"{name}.__new__() missing {n} required positional {plural}: {quoted_list(attrs)}")):
        cls(lineno=1)
    with pytest.raises(TypeError, match=re.escape(
            f"{name}.__new__() takes from {n} to {n + 1} positional arguments "
            f"but {n + 2} were given")):
        cls(*range(n + 2))


@pytest.mark.parametrize("call, message", [
    (lambda: InlineHTML(), "InlineHTML.__new__() missing 1 required positional argument: 'data'"),
    (lambda: Assignment(), "Assignment.__new__() missing 3 required positional arguments: "
                           "'node', 'expr', and 'is_ref'"),
    (lambda: Namespace(lineno=3),
     "Namespace.__new__() missing 2 required positional arguments: 'name' and 'nodes'"),
    (lambda: Assignment(expr=1),
     "Assignment.__new__() missing 2 required positional arguments: 'node' and 'is_ref'"),
    (lambda: InlineHTML("a", 1, 2, bogus=3),
     "InlineHTML.__new__() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda: InlineHTML("a", zz=1, aa=2),
     "InlineHTML.__new__() got an unexpected keyword argument 'zz'"),
    (lambda: Cast(type="int", expr=1), "Cast.__new__() got an unexpected keyword argument 'type'"),
    (lambda: InlineHTML(Data="a"),
     "InlineHTML.__new__() got an unexpected keyword argument 'Data'"),
    (lambda: Assignment(1, bogus=2),
     "Assignment.__new__() got an unexpected keyword argument 'bogus'"),
    (lambda: InlineHTML("a", **{"\ud800": 1}),
     "InlineHTML.__new__() got an unexpected keyword argument '\ud800'"),
    (lambda: InlineHTML("a", data="b"),
     "InlineHTML.__new__() got multiple values for argument 'data'"),
    (lambda: InlineHTML("a", 7, lineno=8),
     "InlineHTML.__new__() got multiple values for argument 'lineno'"),
])
def test_argument_messages(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert type(info.value) is TypeError and str(info.value) == message


def test_values_are_stored_unexamined():
    value = []
    node = If(value, "x", None, value)
    assert node.expr is value and node.else_ is value and Cast(type_="int", expr=1).type_ == "int"
    assert node.__init__("other", lineno=3) is None and node.expr is value and node.lineno is None


class Index:
    def __init__(self, result):
        self.result = result

    def __index__(self):
        if isinstance(self.result, BaseException):
            raise self.result
        return self.result


class IntWithIndex(int):
    def __index__(self):
        raise AssertionError("an int subclass is converted directly")


@pytest.mark.parametrize("given, stored", [
    (None, None), (0, 0), (5, 5), (True, 1), (False, 0),
    (2**64 - 1, 2**64 - 1), (Index(7), 7), (IntWithIndex(9), 9),
])
def test_lineno_conversion(given, stored):
    for node in (InlineHTML("a", given), InlineHTML(data="a", lineno=given)):
        assert node.lineno == stored and type(node.lineno) is type(stored)


@pytest.mark.parametrize("given", [-1, 2**64, -(2**70), Index(-3), Index(2**64)])
def test_lineno_overflow_passes_through(given):
    with pytest.raises(OverflowError) as info:
        InlineHTML("a", given)
    assert not str(info.value).startswith("argument")


@pytest.mark.parametrize("given", [1.0, "3", [], Index("7")])
def test_lineno_type_error_is_rewrapped(given):
    with pytest.raises(TypeError) as expected:
        operator.index(given)
    with pytest.raises(TypeError) as info:
        InlineHTML("a", given)
    assert type(info.value) is TypeError
    assert str(info.value) == f"argument 'lineno': {expected.value}"
    assert info.value.__cause__ is None and info.value.__suppress_context__


def test_lineno_rewrap_keeps_the_cause_of_the_replaced_error():
    error, cause = TypeError("bad index"), KeyError("root")
    error.__cause__ = cause
    with pytest.raises(TypeError) as info:
        InlineHTML("a", Index(error))
    assert info.value is not error and str(info.value) == "argument 'lineno': bad index"
    assert info.value.__cause__ is cause and info.value.__suppress_context__


@pytest.mark.parametrize("error", [ValueError("v"), type("TE", (TypeError,), {})("t")])
def test_lineno_other_errors_pass_unchanged(error):
    with pytest.raises(type(error)) as info:
        InlineHTML("a", Index(error))
    assert info.value is error


def test_binding_fails_before_lineno_is_converted():
    never = Index(AssertionError("converted"))
    for call in (lambda: InlineHTML("a", lineno=never, bogus=1), lambda: InlineHTML(lineno=never),
                 lambda: InlineHTML("a", never, lineno=1)):
        with pytest.raises(TypeError, match=r"^InlineHTML\.__new__\(\)"):
            call()
