// Text form of a node: "Name(repr(f1), repr(f2), ...)". lineno is not shown.
#include <string>

#include "ast/node.h"
#include "ast/slots.h"
#include "lib/errors.h"
#include "lib/native_stack.h"

namespace zarnu::ast {

namespace {

// Text of one field's repr result. A result whose str() fails is reported
// as unraisable and shown as "<unprintable T object>", as the interpreter's
// own tracebacks do.
std::string field_text(PyObject* repr) {
  Ref text = Ref::steal(PyObject_Str(repr));
  std::string out;
  if (text) {
    if (!lenient_utf8(text.get(), out)) out.clear();
    return out;
  }
  on_failure();
  PyErr_WriteUnraisable(repr);
  Ref type_name = Ref::steal(PyType_GetName(Py_TYPE(repr)));
  if (!type_name) {
    on_failure();
    PyErr_Clear();
    return "<unprintable object>";
  }
  std::string name;
  lenient_utf8(type_name.get(), name);
  return "<unprintable " + name + " object>";
}

}  // namespace

PyObject* node_repr(size_t cls, PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (!native_stack_enter(" while getting the repr of an object")) return nullptr;
    const ClassDesc& desc = describe(cls);
    Ref hold = Ref::borrow(self);
    std::string out = desc.name;
    out += '(';
    for (size_t i = 0; i < desc.nfields; ++i) {
      Ref repr = Ref::steal(PyObject_Repr(field(self, i)));
      if (!repr) {
        on_failure();
        return nullptr;
      }
      if (i > 0) out += ", ";
      out += field_text(repr.get());
    }
    out += ')';
    return PyUnicode_DecodeUTF8(out.data(), static_cast<Py_ssize_t>(out.size()),
                                "replace");
  });
}

}  // namespace zarnu::ast
