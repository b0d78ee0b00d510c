// Generic form: (class name, {["lineno",] key: value, ...}) with child nodes
// converted through their own `generic`, lists rebuilt one level deep and
// every other value stored as it is.
#include <array>
#include <memory>
#include <string>

#include "ast/node.h"
#include "ast/slots.h"
#include "lib/args.h"
#include "lib/errors.h"

namespace zarnu::ast {

namespace {

enum class Flag { None, True, False };

PyObject* flag_object(Flag flag) {
  switch (flag) {
    case Flag::True:
      return Py_True;
    case Flag::False:
      return Py_False;
    case Flag::None:
      break;
  }
  return Py_None;
}

const Signature& generic_signature(size_t cls) {
  static const char* const names[] = {"with_lineno"};
  static const auto signatures = make_method_signatures("generic", names, 0, true);
  return signatures[cls];
}

// The module name of a type, as a new reference or NULL (error cleared).
Ref type_module_name(PyTypeObject* type) {
#if PY_VERSION_HEX >= 0x030D0000
  Ref name = Ref::steal(PyType_GetModuleName(type));
#else
  Ref name = Ref::steal(
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__"));
#endif
  if (!name) PyErr_Clear();
  return name;
}

bool text_equals(PyObject* str, const char* text) {
  if (!str || !PyUnicode_Check(str)) return false;
  return PyUnicode_CompareWithASCIIString(str, text) == 0;
}

// numpy's boolean scalars count as booleans, recognised by name so that
// numpy need not be imported.
bool is_numpy_bool(PyObject* value) {
  PyTypeObject* type = Py_TYPE(value);
  Ref module = type_module_name(type);
  if (!text_equals(module.get(), "numpy")) return false;
  Ref name = Ref::steal(PyType_GetName(type));
  if (!name) {
    PyErr_Clear();
    return false;
  }
  return text_equals(name.get(), "bool_") || text_equals(name.get(), "bool");
}

// Reads with_lineno; false with the (argument-prefixed) exception set.
bool convert_flag(PyObject* value, Flag& flag) {
  if (!value || value == Py_None) {
    flag = Flag::None;
    return true;
  }
  if (PyBool_Check(value)) {
    flag = value == Py_True ? Flag::True : Flag::False;
    return true;
  }
  if (is_numpy_bool(value)) {
    PyNumberMethods* number = Py_TYPE(value)->tp_as_number;
    if (!number || !number->nb_bool) {
      Ref type_text = Ref::steal(PyObject_Str(
          reinterpret_cast<PyObject*>(Py_TYPE(value))));
      if (type_text) {
        PyErr_Format(PyExc_TypeError,
                     "object of type '%U' does not define a '__bool__' conversion",
                     type_text.get());
      }
    } else {
      int truth = number->nb_bool(value);
      if (truth == 0 || truth == 1) {
        flag = truth ? Flag::True : Flag::False;
        return true;
      }
      on_failure();
    }
  } else {
    raise_not_instance(value, "bool");
  }
  prefix_argument_error("with_lineno");
  return false;
}

// value.generic(flag); NULL with an exception set.
Ref call_generic(PyObject* value, Flag flag) {
  Ref result = Ref::steal(
      PyObject_CallMethodOneArg(value, name_generic(), flag_object(flag)));
  if (!result) on_failure();
  return result;
}

// Converted form of one value, or NULL with an exception set.
Ref convert_item(PyObject* value, Flag flag) {
  int has = has_attribute(value, name_generic());
  if (has < 0) return Ref();
  if (has) return call_generic(value, flag);
  return Ref::borrow(value);
}

Ref convert_list(PyObject* list, Flag flag) {
  Ref hold = Ref::borrow(list);
  Ref out = expect_object(PyList_New(0));
  const Py_ssize_t start_length = PyList_GET_SIZE(list);
  for (Py_ssize_t i = 0; i < start_length; ++i) {
    Ref item = list_item(list, i);
    if (!item) break;  // the list shrank below i
    Ref converted = convert_item(item.get(), flag);
    if (!converted) return Ref();
    if (PyList_Append(out.get(), converted.get()) < 0) expect_object(nullptr);
  }
  return out;
}

Ref convert_field(PyObject* value, Flag flag) {
  int has = has_attribute(value, name_generic());
  if (has < 0) return Ref();
  if (has) return call_generic(value, flag);
  if (PyList_Check(value)) return convert_list(value, flag);
  return Ref::borrow(value);
}

void store(PyObject* dict, const char* key, PyObject* value) {
  Ref key_text = expect_object(PyUnicode_FromString(key));
  if (PyDict_SetItem(dict, key_text.get(), value) < 0) expect_object(nullptr);
}

Ref field_dict(size_t cls, PyObject* self, Flag flag) {
  const ClassDesc& desc = describe(cls);
  Ref dict = expect_object(PyDict_New());
  NodeObject* node = as_node(self);
  if (flag == Flag::True && node->has_lineno) {
    Ref lineno = expect_object(PyLong_FromUnsignedLongLong(node->lineno));
    store(dict.get(), "lineno", lineno.get());
  }
  for (size_t i = 0; i < desc.nfields; ++i) {
    Ref value = convert_field(node->fields[i], flag);
    if (!value) return Ref();
    store(dict.get(), desc.fields[i].key, value.get());
  }
  return dict;
}

}  // namespace

PyObject* node_generic(size_t cls, PyObject* self, PyObject* const* args,
                       Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* with_lineno = nullptr;
    if (!bind_fastcall(generic_signature(cls), args, nargs, kwnames, &with_lineno)) {
      return nullptr;
    }
    if (!check_receiver(cls, self)) return nullptr;
    Flag flag;
    if (!convert_flag(with_lineno, flag)) return nullptr;
    Ref hold = Ref::borrow(self);
    Ref dict = field_dict(cls, self, flag);
    if (!dict) return nullptr;
    Ref name = expect_object(PyUnicode_FromString(describe(cls).name));
    Ref pair = expect_object(PyTuple_New(2));
    PyTuple_SET_ITEM(pair.get(), 0, name.release());
    PyTuple_SET_ITEM(pair.get(), 1, dict.release());
    return pair.release();
  });
}

}  // namespace zarnu::ast
