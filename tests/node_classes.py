"""The 90 node classes as the tests expect them, written out independently of
src/ast/nodes.def: registration order, each class with its field attributes in
declaration order. The `fields` entry and `generic` key of `type_` is "type".
"""

import contextlib
import ctypes
import sys

import pytest

import zarnu

CATALOGUE = """
InlineHTML data
Block nodes
Namespace name nodes
Assignment node expr is_ref
ListAssignment nodes expr
New name params
Clone node
Break node
Continue node
Return node
Yield node
Global nodes
Static nodes
Echo nodes
Print node
Unset nodes
Try nodes catches finally_
Catch class_ var nodes
Finally nodes
Throw node
Declare directives node
Directive name node
Function name params nodes is_ref return_type
Method name modifiers params nodes is_ref
Closure params vars nodes is_ref
Class name type_ extends implements traits nodes
Trait name traits nodes
ClassConstants nodes
ClassConstant name initial
ClassVariables modifiers nodes hooks
ClassVariable name initial
Interface name extends nodes
AssignOp op left right
BinaryOp op left right
UnaryOp op expr
TernaryOp expr iftrue iffalse
PreIncDecOp op expr
PostIncDecOp op expr
Cast type_ expr
IsSet nodes
Empty expr
Eval expr
Include expr once
Require expr once
Exit expr type_
Silence expr
MagicConstant name value
Constant name
Variable name
StaticVariable name initial
LexicalVariable name is_ref
FormalParameter name default is_ref type_
Parameter node is_ref
FunctionCall name params
Array nodes
ArrayElement key value is_ref
ArrayOffset node expr
ObjectProperty node name
StaticProperty node name
MethodCall node name params
StaticMethodCall class_ name params
If expr node elseifs else_
ElseIf expr node
Else node
While expr node
DoWhile node expr
For start test count node
Foreach expr keyvar valvar node
ForeachVariable name is_ref
Switch expr nodes
Case expr nodes
Default nodes
UseDeclarations nodes
UseDeclaration name alias
ConstantDeclarations nodes
ConstantDeclaration name initial
TraitUse name renames
TraitModifier from_ to visibility
MatchExpr condition arms
MatchArm pattern body
NamedArgument name node
NullsafePropertyAccess node name
NullsafeCall node name params
ConstructorParameter modifiers name type_ default
Enum name backing_type implements nodes
EnumCase name value
ArrowFunction params return_type body is_ref
Pipe left right
FirstClassCallable name
PropertyHook name params body
"""

ATTRS = {line.split()[0]: tuple(line.split()[1:]) for line in CATALOGUE.strip().splitlines()}
NAMES = list(ATTRS)
KEYS = {name: tuple("type" if a == "type_" else a for a in attrs) for name, attrs in ATTRS.items()}

by_class = pytest.mark.parametrize("name", NAMES)


def build(name, values=None, lineno=None):
    """An instance of class `name` holding `values`, by default distinct ints."""
    values = range(len(ATTRS[name])) if values is None else values
    return getattr(zarnu, name)(*values, lineno=lineno)


class Hidden(list):
    """A list whose own protocol must not be used: walks read its storage."""

    def __iter__(self):
        raise AssertionError

    def __len__(self):
        raise AssertionError

    def __getitem__(self, i):
        raise AssertionError


@contextlib.contextmanager
def wrapped_methods(method, classes=NAMES):
    """Replaces `method` on the classes by a wrapper of the caller's that calls
    the original, so that walks must look it up like any caller object's."""
    originals = {name: getattr(zarnu, name).__dict__[method] for name in classes}

    def wrap(original):
        return lambda self, *args, **kwargs: original(self, *args, **kwargs)

    try:
        for name, original in originals.items():
            setattr(getattr(zarnu, name), method, wrap(original))
        yield
    finally:
        for name, original in originals.items():
            setattr(getattr(zarnu, name), method, original)


def throw(error):
    """Raises `error`; for hooks written as lambdas."""
    raise error


def quoted_list(names):
    """'a', 'a' and 'b', or 'a', 'b', and 'c', as the argument messages say."""
    q = [f"'{n}'" for n in names]
    return " and ".join(q) if len(q) <= 2 else ", ".join(q[:-1]) + ", and " + q[-1]


def compare_with_code(left, right, op):
    """Hands `op` to the comparison slot unchecked, as only native code can."""
    compare = ctypes.pythonapi.PyObject_RichCompare
    compare.restype = ctypes.py_object
    compare.argtypes = [ctypes.py_object, ctypes.py_object, ctypes.c_int]
    return compare(left, right, op)


def panic_exception():
    """The PanicException class, reached through an internal fault: an operator
    code out of range. Debug interpreters assert on the code first."""
    if hasattr(sys, "gettotalrefcount"):
        pytest.skip("needs a release build of the interpreter")
    try:
        compare_with_code(zarnu.Return(1), zarnu.Return(1), 6)
    except BaseException as error:  # noqa: B036 - it is not an Exception
        return type(error)
    pytest.fail("an invalid operator code was accepted")
