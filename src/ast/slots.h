// The slot implementations shared by all node classes. Each takes the index
// of the receiver's class in the class table; node_type.cpp binds them to
// each class's type object.
#pragma once

#include <Python.h>

#include <cstddef>
#include <span>
#include <vector>

#include "lib/args.h"
#include "lib/native_stack.h"

namespace zarnu::ast {

PyObject* node_new(size_t cls, PyTypeObject* type, PyObject* args,
                   PyObject* kwargs);
PyObject* node_repr(size_t cls, PyObject* self);
PyObject* node_richcompare(size_t cls, PyObject* self, PyObject* other, int op);
PyObject* node_accept(size_t cls, PyObject* self, PyObject* const* args,
                      Py_ssize_t nargs, PyObject* kwnames);
PyObject* node_generic(size_t cls, PyObject* self, PyObject* const* args,
                       Py_ssize_t nargs, PyObject* kwnames);

// The argument descriptions of method `method` for every class, indexed by
// class; messages name it "{Class}.{method}()".
std::vector<Signature> make_method_signatures(const char* method,
                                              std::span<const char* const> names,
                                              size_t required, bool lenient_names);

// Tests the receiver of a method: RuntimeError-free instance test, or
// TypeError "'{}' object is not an instance of '{}'" and false.
bool check_receiver(size_t cls, PyObject* self);

}  // namespace zarnu::ast

namespace zarnu::ast {

// Duck-typing test of accept and generic: 1 when looking up `name` on
// `value` succeeds, 0 when it raises AttributeError (discarded), -1 with
// any other exception set.
int has_attribute(PyObject* value, PyObject* name);

// Interned attribute names, made once per process. Borrowed.
PyObject* name_accept();
PyObject* name_generic();

// Values that can hold no `accept` or `generic` of their own: a walk passes
// them by without looking anything up.
inline bool is_plain(PyObject* value) {
  return value == Py_None || PyUnicode_CheckExact(value) || PyLong_CheckExact(value) ||
         PyBool_Check(value) || PyFloat_CheckExact(value);
}

enum class WalkMethod { Accept, Generic };

// The class index of `obj` when it is a node of ours whose `method` is still
// the class's own (not replaced or deleted by a caller, attribute lookup not
// overridden), so that a walk may recurse into it natively; -1 when the
// method must be looked up and called like any caller object's.
int native_class(PyObject* obj, WalkMethod method);

// The message end of a walk's RecursionError, as the method call that a
// level of the walk stands for would give it.
inline constexpr const char* kCallWhere = " while calling a Python object";

// Counts one level of a walk against the interpreter's recursion limit, as
// the method call it stands for would, and checks the thread's real stack:
// false (RecursionError set) when either runs out. Released at scope exit,
// also when a Panic unwinds.
class CallDepth {
 public:
  CallDepth() : entered_(Py_EnterRecursiveCall(kCallWhere) == 0) {
    if (entered_ && !native_stack_enter(kCallWhere)) {
      Py_LeaveRecursiveCall();
      entered_ = false;
    }
  }
  ~CallDepth() {
    if (entered_) Py_LeaveRecursiveCall();
  }
  CallDepth(const CallDepth&) = delete;
  CallDepth& operator=(const CallDepth&) = delete;
  explicit operator bool() const { return entered_; }

 private:
  bool entered_;
};

}  // namespace zarnu::ast
