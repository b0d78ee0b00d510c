// The extension module `zarnu`: definition, start-up and registration.
//
// Start-up registers the 90 node classes, then the parser class `Zarnu`,
// then the function `fixup_curly_offsets`; each name goes into `__all__`
// before it becomes a module attribute.
#include "lib/module.h"

#include <string>

#include "ast/node.h"
#include "lib/errors.h"
#include "lib/fixup.h"
#include "lib/parser.h"
#include "lib/ref.h"

namespace zarnu::lib {

namespace {

// The module's `__all__` list, created when absent. New reference or NULL.
Ref all_list(PyObject* module) {
  Ref all = Ref::steal(PyObject_GetAttrString(module, "__all__"));
  if (all) {
    if (PyList_Check(all.get())) return all;
    raise_not_instance(all.get(), "list");
    return Ref();
  }
  if (!PyErr_Occurred()) {
    on_failure();
    return Ref();
  }
  if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return Ref();
  PyErr_Clear();
  all = Ref::steal(PyList_New(0));
  if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) {
    return Ref();
  }
  return all;
}

int register_function(PyObject* module, PyMethodDef* def) {
  Ref module_name = Ref::steal(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  Ref function =
      Ref::steal(PyCMethod_New(def, module, module_name.get(), nullptr));
  if (!function) return -1;
  Ref name = Ref::steal(PyObject_GetAttrString(function.get(), "__name__"));
  if (!name) return -1;
  if (!PyUnicode_Check(name.get())) {
    raise_not_instance(name.get(), "str");
    return -1;
  }
  return register_name(module, name.get(), function.get());
}

int exec_module(PyObject* module) {
  return guarded(-1, [&] {
    if (!PyModule_Check(module)) {
      std::string have = type_qualname(Py_TYPE(module));
      std::string want = type_qualname(&PyModule_Type);
      PyErr_Format(PyExc_TypeError, "'%s' object is not an instance of '%s'",
                   have.c_str(), want.c_str());
      return -1;
    }
    if (ast::register_types(module) < 0) return -1;
    PyTypeObject* parser = request_parser_type();
    if (!parser) return -1;
    if (register_class(module, "Zarnu", reinterpret_cast<PyObject*>(parser)) < 0) {
      return -1;
    }
    return register_function(module, &fixup_curly_offsets_def);
  });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
#if PY_VERSION_HEX >= 0x030D0000
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "zarnu",
    "",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

int register_name(PyObject* module, PyObject* name, PyObject* value) {
  Ref all = all_list(module);
  if (!all) return -1;
  if (PyList_Append(all.get(), name) < 0) {
    std::string detail = "unknown error";
    Ref error = take_exception();
    if (error) {
      Ref text = Ref::steal(PyObject_Str(error.get()));
      if (text) lenient_utf8(text.get(), detail);
    }
    PyErr_Clear();
    panic("could not append __name__ to __all__: " + detail);
  }
  return PyObject_SetAttr(module, name, value);
}

int register_class(PyObject* module, const char* name, PyObject* type) {
  Ref text = Ref::steal(PyUnicode_FromString(name));
  if (!text) return -1;
  return register_name(module, text.get(), type);
}

}  // namespace zarnu::lib

PyMODINIT_FUNC PyInit_zarnu(void) {
  return PyModuleDef_Init(&zarnu::lib::module_def);
}
