"""Visitor walk: pre-order, fields in declaration order, children found by
duck typing, lists looked into at every depth."""

import pytest

from zarnu import Block, Constant, Echo, If, Method, Return, Try, Variable, Zarnu
from node_classes import ATTRS, Hidden, build, by_class, throw, wrapped_methods
from php import sample_trees


def walk(node, effect=lambda n: None):
    seen = []
    assert node.accept(lambda n: (seen.append(n), effect(n))[-1]) is None
    return seen


@by_class
def test_fields_in_declaration_order(name):
    children = [Constant(str(i)) for i in range(len(ATTRS[name]))]
    node = build(name, [[c] if i % 2 else c for i, c in enumerate(children)], lineno=3)
    assert list(map(id, walk(node))) == list(map(id, [node] + children))
    leaf = build(name)
    assert walk(leaf) == [leaf]


def test_pre_order_skips_leaves():
    ret, var = Return(None), Variable("$a")
    block = Block([ret, "text", 1, None])
    node = If(var, block, [], None)
    assert list(map(id, walk(node))) == list(map(id, [node, var, block, ret]))
    method = Method("m", ["public", "static"], [], [Echo(["x", 1])], False)
    assert [type(n).__name__ for n in walk(method)] == ["Method", "Echo"]


def test_visitor_result_is_ignored_and_repeats_are_visited():
    shared = Return(Variable("$x"))
    seen = walk(Block([shared, shared]), lambda n: False)
    assert len(seen) == 5 and seen[1] is seen[3] is shared


@pytest.mark.parametrize("field, inner", [
    ([[[Echo([])]]], True), ([[], [1, [Echo([])]]], True),
    ((Echo([]),), False), ({"k": Echo([])}, False), ([(Echo([]),)], False),
])
def test_only_lists_are_looked_into_at_any_depth(field, inner):
    node = Block(field)
    assert walk(node) == ([node, Echo([])] if inner else [node])


@pytest.mark.parametrize("source, names", [
    # a variadic parameter and nested destructuring hold lists in lists
    ("function f($a, ...$rest) {}", ["$rest"]),
    ("[$a, [$b, [$c]], $d] = $x;", ["$a", "$b", "$c", "$d", "$x"]),
    ("list($a, list(, $b)) = $x;", ["$a", "$b", "$x"]),
])
def test_variables_in_nested_lists_are_visited(source, names):
    seen = walk(Zarnu().parse("<?php " + source)[0])
    assert [n.name for n in seen if isinstance(n, Variable)] == names


def test_deeply_nested_lists_raise_recursion_error():
    value = Echo([])
    for _ in range(1_000_000):
        value = [value]
    with pytest.raises(RecursionError):
        walk(Block(value))


def test_duck_typed_children():
    calls = []
    own = type("Own", (), {"accept": lambda self, visitor: calls.append(visitor)})
    node_list = type("NodeList", (list,), {"accept": lambda self, visitor: calls.append("list")})
    inner = Return(None)
    node = Try([own()], node_list([inner]), Hidden([inner, 1]))
    visitor = calls.append
    node.accept(visitor=visitor)
    assert calls[0] is node and calls[1:] == [visitor, "list", inner]


def test_lookup_errors():
    gone = type("Gone", (AttributeError,), {})
    missing = type("Missing", (), {"accept": property(lambda s: throw(gone()))})
    broken = type("Broken", (), {"__getattr__": lambda s, name: {}[name]})
    node = Return(missing())
    assert walk(node) == [node]
    seen = []
    with pytest.raises(KeyError):
        Block([Constant("a"), broken(), Constant("b")]).accept(seen.append)
    assert [type(n).__name__ for n in seen] == ["Block", "Constant"]
    with pytest.raises(TypeError):
        Return(type("IntAccept", (), {"accept": 5})()).accept(seen.append)


def test_visitor_errors_stop_the_walk_before_the_fields():
    looked = []
    watched = type("Watched", (), {"__getattr__": lambda s, name: looked.append(name)})
    with pytest.raises(ZeroDivisionError):
        Return(watched()).accept(lambda n: 1 / 0)
    with pytest.raises(TypeError):
        Return(watched()).accept(5)
    assert looked == []


def test_list_changed_during_the_walk():
    a, b, c = Constant("a"), Constant("b"), Constant("c")
    grow, shrink, swap = Block([a, b]), Block([a, b, c]), Block([a, b])
    assert walk(grow, lambda n: n is a and grow.nodes.append(c)) == [grow, a, b]
    assert walk(shrink, lambda n: n is b and shrink.nodes.remove(a)) == [shrink, a, b]
    assert walk(swap, lambda n: n is a and swap.nodes.__setitem__(1, c)) == [swap, a, c]


def test_cycle_ends_in_recursion_error():
    b = Block([])
    b.nodes.append(b)
    with pytest.raises(RecursionError):
        walk(b)
    b.nodes.clear()


@pytest.mark.parametrize("args, kwargs, message", [
    ((), {}, "Try.accept() missing 1 required positional argument: 'visitor'"),
    ((1, 2), {}, "Try.accept() takes 1 positional arguments but 2 were given"),
    ((1, 2), {"k": 3}, "Try.accept() takes 1 positional arguments but 2 were given"),
    ((), {"k": 1}, "Try.accept() got an unexpected keyword argument 'k'"),
    ((1,), {"visitor": 1}, "Try.accept() got multiple values for argument 'visitor'"),
])
def test_argument_messages(args, kwargs, message):
    with pytest.raises(TypeError) as info:
        Try([], [], None).accept(*args, **kwargs)
    assert str(info.value) == message


def test_replaced_method_of_a_nested_class_is_called():
    calls = []
    inner = Variable("$a")
    node = Block([Return(inner), [inner]])
    walk(node)  # walked natively first: what it learnt must not outlive the change
    original = Variable.__dict__["accept"]
    try:
        Variable.accept = lambda self, visitor: calls.append(("mine", self))
        assert walk(node) == [node, node.nodes[0]] and calls == [("mine", inner)] * 2
        del Variable.accept
        assert walk(node) == [node, node.nodes[0]]
    finally:
        Variable.accept = original
    assert walk(node) == [node, node.nodes[0], inner, inner]


def test_walked_and_looked_up_methods_agree():
    for path, items in sample_trees():
        roots = [item for item in items if hasattr(item, "accept")]
        native = [id(n) for root in roots for n in walk(root)]
        with wrapped_methods("accept"):
            looked_up = [id(n) for root in roots for n in walk(root)]
        assert native == looked_up, path
