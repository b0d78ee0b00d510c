"""fixup_curly_offsets: an item followed by one-item blocks folds, from the
left, into ArrayOffset nodes; everything else is kept as it is."""

import operator
import types

import pytest

from zarnu import ArrayOffset, Block, Constant, fixup_curly_offsets
from node_classes import throw

X, Y, A, D = Constant("X"), Constant("Y"), Constant("A"), Constant("D")


def block_like(name, nodes):
    """An object that is not a node, whose `__class__.__name__` is `name` (or
    whose `__class__` is `name` itself when that is not a str)."""
    cls = types.SimpleNamespace(__name__=name) if isinstance(name, (str, bytes)) else name
    return type("Stand", (), {"__class__": property(lambda self: cls), "nodes": nodes})()


L, S = type("L", (list,), {}), type("S", (str,), {})


@pytest.mark.parametrize("items, expected", [
    ([], []),
    ([X], [X]),
    ([X, Block([A])], [ArrayOffset(X, A)]),
    ([X, Block([A]), Block([D]), Y], [ArrayOffset(ArrayOffset(X, A), D), Y]),
    ([X, Block([A, D])], [X, Block([A, D])]),
    ([X, Block([])], [X, Block([])]),
    ([X, Block([A]), Y, Block([D])], [ArrayOffset(X, A), ArrayOffset(Y, D)]),
    ([Block([A]), Block([D])], [ArrayOffset(Block([A]), D)]),
    ([Block([A])], [Block([A])]),
    (["s", Block([1]), None, Block([[A]])], [ArrayOffset("s", 1), ArrayOffset(None, [A])]),
    (L([X, Block([A])]), [ArrayOffset(X, A)]),
])
def test_folding(items, expected):
    before = list(items)
    result = fixup_curly_offsets(items)
    assert result == expected and result is not items and type(result) is list
    assert list.__len__(items) == len(before) and all(map(operator.is_, items, before))
    for out in result:
        kept = any(out is i for i in before)
        assert out.lineno is None if isinstance(out, ArrayOffset) else kept
    assert fixup_curly_offsets(nodes=items) == expected


@pytest.mark.parametrize("make, folds", [
    (lambda: type("Block", (), {"nodes": [A]})(), True),
    (lambda: block_like("Block", L([A])), True),
    (lambda: block_like(S("Block"), [A]), True),
    (lambda: block_like("block", [A]), False),
    (lambda: block_like("Blocks", [A]), False),
    (lambda: block_like("Block\0", [A]), False),
    (lambda: block_like(b"Block", [A]), False),
    (lambda: block_like("B\ud800ock", [A]), False),
    (lambda: block_like("Block", (A,)), False),
    (lambda: block_like("Block", type("Long", (list,), {"__len__": lambda s: 1})([A, D])), False),
    (lambda: type("Block", (), {"nodes": property(lambda s: throw(KeyError()))})(), False),
    (lambda: block_like(type("N", (), {"__name__": property(lambda s: throw(KeyError()))})(), [A]),
     False),
    (lambda: type("R", (), {"__class__": property(lambda s: throw(RuntimeError()))})(), False),
])
def test_blocks_are_recognised_by_class_name_and_nodes(make, folds):
    block = make()
    result = fixup_curly_offsets([X, block, Block([D])])
    if folds:
        assert result == [ArrayOffset(ArrayOffset(X, A), D)]
    else:
        assert result == [X, ArrayOffset(block, D)] and result[1].node is block


def test_works_on_a_snapshot():
    items = [X, type("Block", (), {"nodes": property(lambda s: items.clear() or [D])})(), Y]
    result = fixup_curly_offsets(items)
    assert items == [] and result == [ArrayOffset(X, D), Y]


@pytest.mark.parametrize("args, kwargs, message", [
    ((), {}, "fixup_curly_offsets() missing 1 required positional argument: 'nodes'"),
    (([], []), {}, "fixup_curly_offsets() takes 1 positional arguments but 2 were given"),
    (([],), {"k": 1}, "fixup_curly_offsets() got an unexpected keyword argument 'k'"),
    (([],), {"nodes": []}, "fixup_curly_offsets() got multiple values for argument 'nodes'"),
    (((X,),), {}, "argument 'nodes': 'tuple' object is not an instance of 'list'"),
    ((None,), {}, "argument 'nodes': 'None' is not an instance of 'list'"),
])
def test_argument_errors(args, kwargs, message):
    with pytest.raises(TypeError) as info:
        fixup_curly_offsets(*args, **kwargs)
    assert type(info.value) is TypeError and str(info.value) == message
