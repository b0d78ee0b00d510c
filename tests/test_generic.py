"""Generic form: (class name, {["lineno",] key: value}) with children
converted through their own `generic` and lists rebuilt at every depth."""

import json
import pickle

import pytest

import zarnu
from zarnu import Block, Pipe, Return, Variable
from node_classes import KEYS, Hidden, build, by_class, throw, wrapped_methods
from php import parse, sample_trees


@by_class
def test_keys_follow_the_fields(name):
    keys = list(KEYS[name])
    node = build(name, [Variable(f"${i}") for i in range(len(keys))], lineno=8)
    plain = {k: ("Variable", {"name": f"${i}"}) for i, k in enumerate(keys)}
    assert node.generic() == node.generic(False) == (name, plain)
    pair = node.generic(with_lineno=True)
    assert type(pair) is tuple and list(pair[1]) == ["lineno"] + keys and pair[1]["lineno"] == 8
    assert build(name, [None] * len(keys)).generic() == (name, dict.fromkeys(keys))


class Probe:
    """A child of the caller's own: records the flags it is given."""

    def __init__(self, result=None):
        self.flags, self.result = [], result

    def generic(self, flag):
        self.flags.append(flag)
        return self.result


def fake_numpy_bool(value, name="bool_", module="numpy"):
    """Stands for numpy's boolean scalar, recognised by its type's module and
    name. `value` is what its truth slot gives; None: it has no truth slot."""
    body = {"__module__": module}
    if value is not None:
        body["__bool__"] = lambda self: throw(value) if isinstance(value, BaseException) else value
    return type(name, (), body)()


@pytest.mark.parametrize("args, kwargs, passed", [
    ((), {}, None), ((None,), {}, None), ((), {"with_lineno": None}, None),
    ((True,), {}, True), ((), {"with_lineno": True}, True), ((False,), {}, False),
    ((fake_numpy_bool(True),), {}, True), ((fake_numpy_bool(False, "bool"),), {}, False),
])
def test_flag_is_passed_down(args, kwargs, passed):
    probe = Probe()
    pair = Block([probe, Return(1, lineno=2)], lineno=1).generic(*args, **kwargs)
    assert probe.flags == [passed] and probe.flags[0] is passed
    with_lineno = {"lineno": 1, "nodes": [None, ("Return", {"lineno": 2, "node": 1})]}
    without = {"nodes": [None, ("Return", {"node": 1})]}
    assert pair == ("Block", with_lineno if passed else without)


def test_real_numpy_bool():
    numpy = pytest.importorskip("numpy")
    assert Return(1, 0).generic(numpy.bool_(True)) == ("Return", {"lineno": 0, "node": 1})
    assert Return(1, 0).generic(numpy.bool_(False)) == ("Return", {"node": 1})


def test_line_numbers():
    assert Return(1, 0).generic(True) == ("Return", {"lineno": 0, "node": 1})
    assert Return(1, 2**64 - 1).generic(True)[1]["lineno"] == 2**64 - 1
    inner = ("Return", {"lineno": 3, "node": 1})
    assert Return(Return(1, 3)).generic(True) == ("Return", {"node": inner})


ARG, CALL = "argument 'with_lineno': ", "Return.generic() "


@pytest.mark.parametrize("args, kwargs, message", [
    ((1,), {}, ARG + "'int' object is not an instance of 'bool'"),
    ((), {"with_lineno": 0}, ARG + "'int' object is not an instance of 'bool'"),
    ((fake_numpy_bool(True, module="numpyx"),), {},
     ARG + "'bool_' object is not an instance of 'bool'"),
    ((fake_numpy_bool(True, "int8"),), {}, ARG + "'int8' object is not an instance of 'bool'"),
    ((fake_numpy_bool(None),), {},
     ARG + "object of type '<class 'numpy.bool_'>' does not define a '__bool__' conversion"),
    ((fake_numpy_bool(TypeError("plain")),), {}, ARG + "plain"),
    ((fake_numpy_bool(2),), {}, ARG + "__bool__ should return bool, returned int"),
    ((True, False), {}, CALL + "takes from 0 to 1 positional arguments but 2 were given"),
    ((1, 2), {"foo": 3}, CALL + "takes from 0 to 1 positional arguments but 2 were given"),
    ((True,), {"with_lineno": False}, CALL + "got multiple values for argument 'with_lineno'"),
    ((), {"lineno": True}, CALL + "got an unexpected keyword argument 'lineno'"),
    ((), {"foo": 1, "with_lineno": 2}, CALL + "got an unexpected keyword argument 'foo'"),
    ((), {"with_lineno": 2, "foo": 1}, CALL + "got an unexpected keyword argument 'foo'"),
    ((), {"\ud800x": 1}, CALL + "got an unexpected keyword argument '\ufffd\ufffd\ufffdx'"),
    ((), {"a\0b": 1}, CALL + "got an unexpected keyword argument 'a\0b'"),
    ((type("N", (), {"__qualname__": "a\0b"})(),), {},
     ARG + "'a\0b' object is not an instance of 'bool'"),
])
def test_argument_errors(args, kwargs, message):
    with pytest.raises(TypeError) as info:
        Return(1).generic(*args, **kwargs)
    assert type(info.value) is TypeError and str(info.value) == message
    assert info.value.__cause__ is None


@pytest.mark.parametrize("error", [ValueError("v"), type("TE", (TypeError,), {})("t")])
def test_truth_slot_errors_pass_unchanged(error):
    with pytest.raises(type(error)) as info:
        Return(1).generic(fake_numpy_bool(error))
    assert info.value is error


def test_values():
    word, inner, empty, child = "static", [Return(1)], [], Return(1)
    converted = Block([Return(1), word, None, inner]).generic()[1]["nodes"]
    assert converted == [("Return", {"node": 1}), "static", None, [("Return", {"node": 1})]]
    assert converted[1] is word and inner == [Return(1)]
    rebuilt = Block(empty).generic()[1]["nodes"]
    assert rebuilt == [] and rebuilt is not empty
    assert Block(Hidden([Return(2)])).generic()[1]["nodes"] == [("Return", {"node": 2})]
    for other in ((Return(1),), {"k": Return(1)}):
        assert Block(other).generic()[1]["nodes"] is other
    node_list = type("NodeList", (list,), {"generic": lambda self, flag: ("own", flag)})
    assert Block(node_list([Return(1)])).generic(True)[1]["nodes"] == ("own", True)
    pair = Pipe(child, child).generic()
    assert pair[1]["left"] == pair[1]["right"] and pair[1]["left"] is not pair[1]["right"]
    assert Return(Probe(42)).generic() == ("Return", {"node": 42})
    first, second = child.generic(), child.generic()
    assert first == second and first is not second and first[1] is not second[1]


def test_duck_typed_children():
    looked = []

    class Lazy:
        def __getattr__(self, name):
            looked.append(name)
            return (lambda flag: "lazy") if name == "generic" else throw(AttributeError(name))

    assert Return(Lazy()).generic() == ("Return", {"node": "lazy"}) and looked == ["generic"] * 2
    gone = type("Gone", (AttributeError,), {})
    missing = type("Missing", (), {"generic": property(lambda s: throw(gone()))})()
    assert Return(missing).generic()[1]["node"] is missing
    broken = type("Broken", (), {"generic": property(lambda s: throw(ValueError()))})
    for bad, error in [(broken(), ValueError),
                       (type("IntGeneric", (), {"generic": 5})(), TypeError),
                       (type("NoParameter", (), {"generic": lambda self: 0})(), TypeError),
                       (Return, TypeError)]:
        with pytest.raises(error):
            Block([Return(1), bad]).generic()


def test_list_changed_during_the_walk():
    a, b, c = Probe("a"), Probe("b"), Probe("c")
    grow, shrink, swap = [a, b], [a, b, c], [a, b]
    for items, change, expected in [(grow, lambda: grow.append(c), ["a", "b"]),
                                    (shrink, lambda: shrink.remove(a), ["a", "c"]),
                                    (swap, lambda: swap.__setitem__(1, c), ["a", "c"])]:
        a.generic = lambda flag, change=change: change() or "a"
        assert Block(items).generic()[1]["nodes"] == expected


def test_class_name_and_keys_come_from_the_class_table():
    saved = Return.fields
    try:
        Return.__name__, Return.fields = "Renamed", ["other"]
        assert Return(1).generic() == ("Return", {"node": 1})
        with pytest.raises(TypeError, match=r"^Return\.generic\(\) got"):
            Return(1).generic(bad=1)
    finally:
        Return.__name__, Return.fields = "Return", saved


def plain(item, flag=True):
    return item.generic(flag) if hasattr(item, "generic") else item


def test_nested_lists_are_rebuilt():
    var = ("Variable", {"name": "$a"})
    # a variadic parameter and nested destructuring hold lists in lists
    assert parse("function f(...$a){}")[0].generic()[1]["params"] == [[var]]
    nodes = parse("[[$a, [$b]], $c] = $x;")[0].generic()[1]["nodes"]
    assert nodes == [[var, [("Variable", {"name": "$b"})]], ("Variable", {"name": "$c"})]
    for source in ["function f(...$a){}", "list(list($a), $b) = $x; $y = [&$a, ...$b];"]:
        converted = [plain(item) for item in parse(source)]
        assert pickle.loads(pickle.dumps(converted)) == converted
        json.dumps(converted)


def test_nested_lists_hold_any_value():
    probe, pair, table, other = Probe("mine"), (Return(1),), {"k": Return(1)}, object()
    deep = [[[Return(1), probe, pair, table, other, "s"]], 1.5]
    converted = Block(deep).generic()[1]["nodes"]
    assert converted == [[[("Return", {"node": 1}), "mine", pair, table, other, "s"]], 1.5]
    innermost = converted[0][0]
    assert innermost[2] is pair and innermost[3] is table and innermost[4] is other
    assert probe.flags == [None] and deep[0][0][0] == Return(1)


@pytest.mark.parametrize("make", [lambda x: [x], lambda x: [Return(x)]],
                         ids=["list", "list of nodes"])
def test_deep_nesting_raises_recursion_error(make):
    value = None
    for _ in range(1_000_000):
        value = make(value)
    with pytest.raises(RecursionError):
        Block([value]).generic()


def test_replaced_method_of_a_nested_class_is_called():
    node = Block([Return([Variable("$a")]), Variable("$b")])
    node.generic()  # walked natively first: what it learnt must not outlive the change
    original = Variable.__dict__["generic"]
    try:
        Variable.generic = lambda self, flag: ("mine", self.name, flag)
        assert node.generic(True)[1]["nodes"] == [
            ("Return", {"node": [("mine", "$a", True)]}), ("mine", "$b", True)]
        del Variable.generic
        assert node.generic()[1]["nodes"][1] is node.nodes[1]
        Variable.generic = property(lambda self: throw(KeyError("gone")))
        with pytest.raises(KeyError):
            node.generic()
    finally:
        Variable.generic = original
    assert node.generic()[1]["nodes"][1] == ("Variable", {"name": "$b"})


def test_replaced_attribute_lookup_is_used():
    looked = []

    def getattribute(self, name):
        looked.append(name)
        return object.__getattribute__(self, name)

    try:
        Variable.__getattribute__ = getattribute
        assert Return(Variable("$a")).generic() == ("Return", {"node": ("Variable", {"name": "$a"})})
        assert looked == ["generic"] * 2  # the test for it, then the call
    finally:
        del Variable.__getattribute__


@pytest.mark.parametrize("flag", [True, False])
def test_walked_and_looked_up_methods_agree(flag):
    for path, items in sample_trees():
        native = [plain(item, flag) for item in items]
        with wrapped_methods("generic"):
            looked_up = [plain(item, flag) for item in items]
        assert native == looked_up, path
