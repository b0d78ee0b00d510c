// The slot implementations shared by all node classes. Each takes the index
// of the receiver's class in the class table; node_type.cpp binds them to
// each class's type object.
#pragma once

#include <Python.h>

#include <cstddef>
#include <span>
#include <vector>

#include "lib/args.h"

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

}  // namespace zarnu::ast
