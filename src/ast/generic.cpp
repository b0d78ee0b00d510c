// Generic form: (class name, {["lineno",] key: value, ...}) with child nodes
// converted through their own `generic`, lists rebuilt at every depth and
// every other value stored as it is. Our own nodes are converted directly,
// without the attribute lookup and call, while their class still has its own
// `generic`.
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

// A class's name and keys as interned strs, made once per process like the
// classes themselves. Borrowed.
struct ClassStrs {
  PyObject* name;
  std::array<PyObject*, kMaxFields> keys;
};

const ClassStrs& class_strs(size_t cls) {
  static const auto table = [] {
    std::array<ClassStrs, kClassCount> all{};
    for (size_t i = 0; i < kClassCount; ++i) {
      const ClassDesc& desc = describe(i);
      all[i].name = interned(desc.name);
      for (size_t f = 0; f < desc.nfields; ++f) all[i].keys[f] = interned(desc.fields[f].key);
    }
    return all;
  }();
  return table[cls];
}

PyObject* key_lineno() {
  static PyObject* const key = interned("lineno");
  return key;
}

Ref node_pair(size_t cls, PyObject* self, Flag flag);

// Converted form of one value, or NULL with an exception set.
Ref convert(PyObject* value, Flag flag);

Ref convert_list(PyObject* list, Flag flag) {
  CallDepth depth;
  if (!depth) return Ref();
  Ref hold = Ref::borrow(list);
  const Py_ssize_t start_length = PyList_GET_SIZE(list);
  Ref out = expect_object(PyList_New(0));
  for (Py_ssize_t i = 0; i < start_length; ++i) {
    Ref item = list_item(list, i);
    if (!item) break;  // the list shrank below i
    Ref converted = convert(item.get(), flag);
    if (!converted) return Ref();
    if (PyList_Append(out.get(), converted.get()) < 0) expect_object(nullptr);
  }
  return out;
}

Ref convert(PyObject* value, Flag flag) {
  if (is_plain(value)) return Ref::borrow(value);
  int cls = native_class(value, WalkMethod::Generic);
  if (cls >= 0) {
    CallDepth depth;
    if (!depth) return Ref();
    return node_pair(static_cast<size_t>(cls), value, flag);
  }
  if (!PyList_CheckExact(value)) {
    int has = has_attribute(value, name_generic());
    if (has < 0) return Ref();
    if (has) return call_generic(value, flag);
  }
  if (PyList_Check(value)) return convert_list(value, flag);
  return Ref::borrow(value);
}

void store(PyObject* dict, PyObject* key, PyObject* value) {
  if (PyDict_SetItem(dict, key, value) < 0) expect_object(nullptr);
}

// (class name, field dict) of a node of class `cls`; new reference or NULL.
Ref node_pair(size_t cls, PyObject* self, Flag flag) {
  const ClassDesc& desc = describe(cls);
  const ClassStrs& strs = class_strs(cls);
  Ref dict = expect_object(PyDict_New());
  NodeObject* node = as_node(self);
  if (flag == Flag::True && node->has_lineno) {
    Ref lineno = expect_object(PyLong_FromUnsignedLongLong(node->lineno));
    store(dict.get(), key_lineno(), lineno.get());
  }
  for (size_t i = 0; i < desc.nfields; ++i) {
    Ref value = convert(node->fields[i], flag);
    if (!value) return Ref();
    store(dict.get(), strs.keys[i], value.get());
  }
  const bool tracked = PyObject_GC_IsTracked(dict.get());
  Ref pair = expect_object(PyTuple_New(2));
  PyTuple_SET_ITEM(pair.get(), 0, Py_NewRef(strs.name));
  PyTuple_SET_ITEM(pair.get(), 1, dict.release());
  // A pair of atoms can hold no cycle. The collector would untrack it too,
  // but only after scanning it in a collection that its own allocation
  // helped to trigger; big results made that scanning a good part of the
  // cost of generic().
  if (!tracked) PyObject_GC_UnTrack(pair.get());
  return pair;
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
    // Called by caller code, the walk may already be deep: a caller's node
    // whose generic calls ours, and so on.
    if (!native_stack_enter(kCallWhere)) return nullptr;
    Ref hold = Ref::borrow(self);
    return node_pair(cls, self, flag).release();
  });
}

}  // namespace zarnu::ast
