// Equality of nodes: same class and pairwise equal fields, in declaration
// order. Ordering is not supported; lineno plays no part.
#include "ast/node.h"
#include "ast/slots.h"
#include "lib/errors.h"
#include "lib/native_stack.h"

namespace zarnu::ast {

namespace {

// 1 when equal, 0 when not, -1 with an exception set.
int nodes_equal(size_t cls, PyObject* self, PyObject* other) {
  if (!is_instance(other, static_cast<NodeClass>(cls))) return 0;
  if (!native_stack_enter(" in comparison")) return -1;
  // Field comparisons run caller code, which may drop other references.
  Ref hold_self = Ref::borrow(self), hold_other = Ref::borrow(other);
  for (size_t i = 0; i < describe(cls).nfields; ++i) {
    Ref result = Ref::steal(
        PyObject_RichCompare(field(self, i), field(other, i), Py_EQ));
    if (!result) {
      on_failure();
      return -1;
    }
    int truth = PyObject_IsTrue(result.get());
    if (truth < 0) {
      on_failure();
      return -1;
    }
    if (!truth) return 0;
  }
  return 1;
}

}  // namespace

PyObject* node_richcompare(size_t cls, PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    switch (op) {
      case Py_LT:
      case Py_LE:
      case Py_GT:
      case Py_GE:
        Py_RETURN_NOTIMPLEMENTED;
      case Py_EQ:
      case Py_NE:
        break;
      default:
        panic("invalid compareop");
    }
    if (!is_instance(self, static_cast<NodeClass>(cls))) Py_RETURN_NOTIMPLEMENTED;
    int equal = nodes_equal(cls, self, other);
    if (equal < 0) return nullptr;
    return Py_NewRef((equal != 0) == (op == Py_EQ) ? Py_True : Py_False);
  });
}

}  // namespace zarnu::ast
