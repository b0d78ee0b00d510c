// Argument binding shared by the constructors, methods and functions.
//
// One binder serves every entry point so that the argument messages read the
// same everywhere: "{name} takes ...", "{name} got an unexpected keyword
// argument ...", "{name} got multiple values for argument ...",
// "{name} missing N required positional argument(s): ...".
#pragma once

#include <Python.h>

#include <span>
#include <string>
#include <string_view>

namespace zarnu {

struct Signature {
  // Full name used at the head of every message, e.g. "If.__new__()".
  std::string full_name;
  // Parameter names in order; all positional-or-keyword.
  std::span<const char* const> names;
  // The first `required` parameters have no default.
  size_t required;
  // How an unexpected keyword name is shown: as its str() (false), or as
  // lenient UTF-8 with surrogates replaced by U+FFFD (true).
  bool lenient_keyword_names = false;
};

// Binds a vectorcall/fastcall argument vector into `slots` (borrowed
// references, NULL for unbound). Returns false with TypeError set.
bool bind_fastcall(const Signature& signature, PyObject* const* args,
                   Py_ssize_t nargs, PyObject* kwnames, PyObject** slots);

// Same for a tp_new style (tuple, dict-or-NULL) call.
bool bind_tuple_dict(const Signature& signature, PyObject* args,
                     PyObject* kwargs, PyObject** slots);

}  // namespace zarnu
