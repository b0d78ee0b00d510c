// The shared argument binder.
#include "lib/args.h"

#include <cstring>

#include "lib/errors.h"
#include "lib/ref.h"

namespace zarnu {

namespace {

void raise_too_many(const Signature& signature, Py_ssize_t given) {
  const size_t count = signature.names.size();
  const char* verb = given == 1 ? "was" : "were";
  if (signature.required == count) {
    PyErr_Format(PyExc_TypeError,
                 "%s takes %zu positional arguments but %zd %s given",
                 signature.full_name.c_str(), count, given, verb);
  } else {
    PyErr_Format(PyExc_TypeError,
                 "%s takes from %zu to %zu positional arguments but %zd %s given",
                 signature.full_name.c_str(), signature.required, count, given,
                 verb);
  }
}

void raise_unexpected_keyword(const Signature& signature, PyObject* name) {
  std::string lenient;
  if (signature.lenient_keyword_names && PyUnicode_Check(name) &&
      lenient_utf8(name, lenient)) {
    // Through a str object, not "%s": a name may hold NUL characters.
    Ref text = make_str(lenient);
    if (!text) return;
    PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'",
                 signature.full_name.c_str(), text.get());
    return;
  }
  PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%S'",
               signature.full_name.c_str(), name);
}

// Index of the parameter called `name`, or -1.
Py_ssize_t find_parameter(const Signature& signature, PyObject* name) {
  if (!PyUnicode_Check(name)) return -1;
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(name, &size);
  if (!text) {
    PyErr_Clear();
    return -1;
  }
  for (size_t i = 0; i < signature.names.size(); ++i) {
    const char* candidate = signature.names[i];
    if (std::strlen(candidate) == static_cast<size_t>(size) &&
        std::memcmp(candidate, text, static_cast<size_t>(size)) == 0) {
      return static_cast<Py_ssize_t>(i);
    }
  }
  return -1;
}

bool bind_keyword(const Signature& signature, PyObject* name,
                  PyObject* value, PyObject** slots) {
  Py_ssize_t index = find_parameter(signature, name);
  if (index < 0) {
    raise_unexpected_keyword(signature, name);
    return false;
  }
  if (slots[index]) {
    PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'",
                 signature.full_name.c_str(), signature.names[index]);
    return false;
  }
  slots[index] = value;
  return true;
}

bool check_required(const Signature& signature, PyObject** slots) {
  std::string missing;
  size_t count = 0;
  for (size_t i = 0; i < signature.required; ++i) {
    if (!slots[i]) ++count;
  }
  if (count == 0) return true;
  size_t seen = 0;
  for (size_t i = 0; i < signature.required; ++i) {
    if (slots[i]) continue;
    if (seen > 0) {
      if (count == 2) {
        missing += " and ";
      } else if (seen + 1 == count) {
        missing += ", and ";
      } else {
        missing += ", ";
      }
    }
    missing += '\'';
    missing += signature.names[i];
    missing += '\'';
    ++seen;
  }
  PyErr_Format(PyExc_TypeError, "%s missing %zu required positional %s: %s",
               signature.full_name.c_str(), count,
               count == 1 ? "argument" : "arguments", missing.c_str());
  return false;
}

bool bind_positional(const Signature& signature, PyObject* const* args,
                     Py_ssize_t nargs, PyObject** slots) {
  if (static_cast<size_t>(nargs) > signature.names.size()) {
    raise_too_many(signature, nargs);
    return false;
  }
  for (size_t i = 0; i < signature.names.size(); ++i) slots[i] = nullptr;
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];
  return true;
}

}  // namespace

bool bind_fastcall(const Signature& signature, PyObject* const* args,
                   Py_ssize_t nargs, PyObject* kwnames, PyObject** slots) {
  if (!bind_positional(signature, args, nargs, slots)) return false;
  if (kwnames) {
    Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      if (!bind_keyword(signature, PyTuple_GET_ITEM(kwnames, k), args[nargs + k],
                        slots)) {
        return false;
      }
    }
  }
  return check_required(signature, slots);
}

bool bind_tuple_dict(const Signature& signature, PyObject* args,
                     PyObject* kwargs, PyObject** slots) {
  if (!bind_positional(signature, &PyTuple_GET_ITEM(args, 0),
                       PyTuple_GET_SIZE(args), slots)) {
    return false;
  }
  if (kwargs) {
    Py_ssize_t pos = 0;
    PyObject *name, *value;
    while (PyDict_Next(kwargs, &pos, &name, &value)) {
      if (!bind_keyword(signature, name, value, slots)) return false;
    }
  }
  return check_required(signature, slots);
}

}  // namespace zarnu
