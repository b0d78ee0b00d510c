// Visitor walk: calls the visitor on the node, then walks the fields in
// declaration order, pre-order. A value with an `accept` attribute is a node
// and walks itself; lists are looked into at every depth, as generic() does;
// anything else is a leaf. Our own nodes are walked directly, without the
// attribute lookup and call, while their class still has its own `accept`.
#include <array>
#include <memory>
#include <string>

#include "ast/node.h"
#include "ast/slots.h"
#include "lib/args.h"
#include "lib/errors.h"

namespace zarnu::ast {

namespace {

const Signature& accept_signature(size_t cls) {
  static const char* const names[] = {"visitor"};
  static const auto signatures = make_method_signatures("accept", names, 1, false);
  return signatures[cls];
}

// `value.accept(visitor)`; -1 with an exception set on failure.
int call_accept(PyObject* value, PyObject* visitor) {
  Ref result =
      Ref::steal(PyObject_CallMethodOneArg(value, name_accept(), visitor));
  if (result) return 0;
  on_failure();
  return -1;
}

int walk_node(size_t cls, PyObject* node, PyObject* visitor);

// Walks one value: a node of ours natively, any other value with `accept`
// through it, and a list item by item.
int visit(PyObject* value, PyObject* visitor);

int visit_list(PyObject* list, PyObject* visitor) {
  CallDepth depth;
  if (!depth) return -1;
  Ref hold = Ref::borrow(list);
  const Py_ssize_t start_length = PyList_GET_SIZE(list);
  for (Py_ssize_t i = 0; i < start_length; ++i) {
    Ref item = list_item(list, i);
    if (!item) break;  // the list shrank below i
    if (visit(item.get(), visitor) < 0) return -1;
  }
  return 0;
}

int visit(PyObject* value, PyObject* visitor) {
  if (is_plain(value)) return 0;
  int cls = native_class(value, WalkMethod::Accept);
  if (cls >= 0) {
    CallDepth depth;
    if (!depth) return -1;
    return walk_node(static_cast<size_t>(cls), value, visitor);
  }
  if (!PyList_CheckExact(value)) {
    int has = has_attribute(value, name_accept());
    if (has < 0) return -1;
    if (has) return call_accept(value, visitor);
  }
  if (PyList_Check(value)) return visit_list(value, visitor);
  return 0;
}

// The visitor on `node`, then its fields; -1 with an exception set.
int walk_node(size_t cls, PyObject* node, PyObject* visitor) {
  Ref result = Ref::steal(PyObject_CallOneArg(visitor, node));
  if (!result) {
    on_failure();
    return -1;
  }
  for (size_t i = 0; i < describe(cls).nfields; ++i) {
    if (visit(field(node, i), visitor) < 0) return -1;
  }
  return 0;
}

}  // namespace

PyObject* name_accept() {
  static PyObject* name = interned("accept");
  return name;
}

PyObject* name_generic() {
  static PyObject* name = interned("generic");
  return name;
}

int has_attribute(PyObject* value, PyObject* name) {
  Ref found = Ref::steal(PyObject_GetAttr(value, name));
  if (found) return 1;
  if (!PyErr_Occurred()) {
    on_failure();
    return -1;
  }
  if (PyErr_ExceptionMatches(PyExc_AttributeError)) {
    PyErr_Clear();
    return 0;
  }
  on_failure();
  return -1;
}

PyObject* node_accept(size_t cls, PyObject* self, PyObject* const* args,
                      Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* visitor = nullptr;
    if (!bind_fastcall(accept_signature(cls), args, nargs, kwnames, &visitor)) {
      return nullptr;
    }
    if (!check_receiver(cls, self)) return nullptr;
    // Called by caller code, the walk may already be deep: a caller's node
    // whose accept calls ours, and so on.
    if (!native_stack_enter(kCallWhere)) return nullptr;
    Ref hold = Ref::borrow(self), hold_visitor = Ref::borrow(visitor);
    if (walk_node(cls, self, visitor) < 0) return nullptr;
    Py_RETURN_NONE;
  });
}

}  // namespace zarnu::ast
