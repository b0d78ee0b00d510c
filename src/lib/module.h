// Registration of names in the module: `__all__` first, then the attribute.
#pragma once

#include <Python.h>

namespace zarnu::lib {

// Appends `name` to the module's `__all__` (creating the list when there is
// none) and sets the module attribute `name` to `value` (borrowed).
// Returns -1 with an exception set on failure.
int register_name(PyObject* module, PyObject* name, PyObject* value);

// Same, with the name given as UTF-8 text.
int register_class(PyObject* module, const char* name, PyObject* type);

}  // namespace zarnu::lib
