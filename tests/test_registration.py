"""Module start-up and the node classes' type objects: names, order,
signatures, `fields`, read-only attributes and what the classes refuse."""

import gc
import importlib
import importlib.util
import sys
import types
import weakref

import pytest

import zarnu
from node_classes import ATTRS, KEYS, NAMES, build, by_class


def test_module_contents():
    assert zarnu.__all__ == NAMES + ["Zarnu", "fixup_curly_offsets"]
    assert len(zarnu.__all__) == 92 and zarnu.__all__[9] == "Return"
    assert all(getattr(zarnu, name).__name__ == name for name in zarnu.__all__)
    assert zarnu.__doc__ == ""
    f = zarnu.fixup_curly_offsets
    assert f.__module__ == zarnu.__name__ and f.__self__ is zarnu
    assert f.__text_signature__ == "(nodes)" and not f.__doc__


@by_class
def test_type_object(name):
    cls, attrs = getattr(zarnu, name), ATTRS[name]
    assert (cls.__name__, cls.__qualname__, cls.__module__) == (name, name, "builtins")
    assert cls.__text_signature__ == f"({', '.join(attrs)}, lineno=None)" and not cls.__doc__
    assert cls.accept.__text_signature__ == "($self, visitor)"
    assert cls.generic.__text_signature__ == "($self, with_lineno=None)"
    assert cls.fields == list(KEYS[name]) and cls.fields is cls.fields
    assert all(vars(cls)[a].__doc__ == "" for a in ("lineno",) + attrs)
    # No instance dict, weak-reference list or collector header: the object
    # header, lineno and one reference per field.
    assert (cls.__itemsize__, cls.__dictoffset__, cls.__weakrefoffset__) == (0, 0, 0)
    assert cls.__basicsize__ == object.__basicsize__ + 16 + 8 * len(attrs)
    base_type, gc_tracked, immutable, no_new = 1 << 10, 1 << 14, 1 << 8, 1 << 7
    assert cls.__flags__ & (base_type | gc_tracked | immutable | no_new) == 0
    assert cls.__bases__ == (object,) and cls.__hash__ is None
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


@by_class
def test_instance_is_read_only(name):
    node = build(name, lineno=4)
    assert node.fields is type(node).fields
    for attr in ("lineno", "anything", "type") + ATTRS[name]:
        with pytest.raises(AttributeError):
            setattr(node, attr, 1)
        with pytest.raises(AttributeError):
            delattr(node, attr)
    with pytest.raises(AttributeError):
        node.type
    with pytest.raises(TypeError):
        hash(node)
    with pytest.raises(TypeError):
        weakref.ref(node)
    assert not gc.is_tracked(node)


def test_fields_is_a_plain_class_attribute():
    saved = zarnu.If.fields
    try:
        saved.append("extra")
        assert zarnu.If(1, 2, 3, 4).fields[-1] == "extra"
        zarnu.If.fields = []
        assert list(zarnu.If(1, 2, 3, 4).generic()[1]) == ["expr", "node", "elseifs", "else_"]
    finally:
        saved.remove("extra")
        zarnu.If.fields = saved


def test_reimport_reuses_the_type_objects():
    old = sys.modules.pop("zarnu")
    try:
        new = importlib.import_module("zarnu")
        assert new is not old and new.__all__ is not old.__all__ and new.__all__ == old.__all__
        assert new.fixup_curly_offsets is not old.fixup_curly_offsets
        assert new.fixup_curly_offsets.__self__ is new
        assert all(getattr(new, n) is getattr(old, n) for n in NAMES + ["Zarnu"])
    finally:
        sys.modules["zarnu"] = old


def exec_with(module_class=types.ModuleType, **attributes):
    """Runs the start-up on a fresh module object prepared with `attributes`."""
    spec = importlib.util.find_spec("zarnu")
    module = importlib.util.module_from_spec(spec)
    module.__class__ = module_class
    for key, value in attributes.items():
        setattr(module, key, value)
    spec.loader.exec_module(module)
    return module


@pytest.mark.parametrize("existing", [["mine"], type("Names", (list,), {})(["mine"])])
def test_existing_all_list_is_extended(existing):
    module = exec_with(__all__=existing, __name__="renamed")
    assert module.__all__ is existing and existing == ["mine"] + zarnu.__all__
    assert module.If is zarnu.If and module.fixup_curly_offsets.__module__ == "renamed"


def test_all_that_is_not_a_list_fails_the_start_up():
    with pytest.raises(TypeError, match=r"^'tuple' object is not an instance of 'list'$"):
        exec_with(__all__=("mine",))


def test_all_lookup_goes_through_module_getattr():
    def missing(name):
        raise type("Gone", (AttributeError,), {})(name)

    def broken(name):
        raise KeyError(name)

    assert exec_with(__getattr__=missing).__all__ == zarnu.__all__
    with pytest.raises(KeyError):
        exec_with(__getattr__=broken)


def test_each_name_enters_all_before_its_attribute():
    log = []

    class Recording(types.ModuleType):
        def __setattr__(self, name, value):
            log.append((name, name in vars(self).get("__all__", ())))
            if name == "Return":
                raise KeyError(name)
            super().__setattr__(name, value)

    with pytest.raises(KeyError):
        exec_with(Recording)
    assert log == [("__all__", False)] + [(n, True) for n in NAMES[:10]]
