// Type objects of the node classes, their getters, construction and
// deallocation, and their registration in the module.
//
// Each class gets the same slots; a small template stamps out, per class
// index, the trampolines that tell the shared implementations which class
// they serve.
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "ast/node.h"
#include "ast/slots.h"
#include "lib/args.h"
#include "lib/errors.h"
#include "lib/module.h"

namespace zarnu::ast {

namespace {

const char kAcceptDoc[] = "accept($self, visitor)\n--\n\n";
const char kGenericDoc[] = "generic($self, with_lineno=None)\n--\n\n";

template <size_t I>
struct Trampolines {
  static PyObject* tp_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return node_new(I, type, args, kwargs);
  }
  static PyObject* repr(PyObject* self) { return node_repr(I, self); }
  static PyObject* richcompare(PyObject* self, PyObject* other, int op) {
    return node_richcompare(I, self, other, op);
  }
  static PyObject* accept(PyObject* self, PyObject* const* args,
                          Py_ssize_t nargs, PyObject* kwnames) {
    return node_accept(I, self, args, nargs, kwnames);
  }
  static PyObject* generic(PyObject* self, PyObject* const* args,
                           Py_ssize_t nargs, PyObject* kwnames) {
    return node_generic(I, self, args, nargs, kwnames);
  }
};

using FastMethod = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t,
                                 PyObject*);

struct SlotSet {
  newfunc tp_new;
  reprfunc repr;
  richcmpfunc richcompare;
  FastMethod accept;
  FastMethod generic;
};

template <size_t... I>
constexpr std::array<SlotSet, sizeof...(I)> make_slot_sets(
    std::index_sequence<I...>) {
  return {SlotSet{&Trampolines<I>::tp_new, &Trampolines<I>::repr,
                  &Trampolines<I>::richcompare, &Trampolines<I>::accept,
                  &Trampolines<I>::generic}...};
}

constexpr auto kSlotSets = make_slot_sets(std::make_index_sequence<kClassCount>());

// Process-wide state of one class.
struct ClassState {
  std::atomic<PyTypeObject*> type{nullptr};
  std::atomic<bool> attributes_set{false};
  // Static storage that the type object points into for its life.
  PyGetSetDef getset[kMaxFields + 2];
  PyMethodDef methods[3];
  // The method descriptors the class was made with, by WalkMethod. Held, so
  // that a replacement in the class dict can never reuse their address.
  std::atomic<PyObject*> own_methods[2] = {nullptr, nullptr};
  // The type's version tag when its dict last held that descriptor.
  std::atomic<unsigned> checked_tags[2] = {0, 0};
};

ClassState class_states[kClassCount];

size_t field_count_of(PyObject* self) {
  return static_cast<size_t>(Py_TYPE(self)->tp_basicsize -
                             static_cast<Py_ssize_t>(offsetof(NodeObject, fields))) /
         sizeof(PyObject*);
}

PyObject* walk_method_name(WalkMethod method) {
  return method == WalkMethod::Accept ? name_accept() : name_generic();
}

// Keeps the class's own method descriptors for native_class. A class whose
// descriptors cannot be read is simply always walked through attributes.
void keep_own_methods(ClassState& state, PyTypeObject* type) {
  for (WalkMethod method : {WalkMethod::Accept, WalkMethod::Generic}) {
    PyObject* descriptor =
        PyDict_GetItemWithError(type->tp_dict, walk_method_name(method));
    if (!descriptor) {
      PyErr_Clear();
      continue;
    }
    state.own_methods[static_cast<size_t>(method)].store(
        Py_NewRef(descriptor), std::memory_order_release);
  }
}

// The type's version tag, 0 when it has none. The interpreter drops the tag
// on every change of the class's attributes and hands out a new one on
// demand. Without the lock the tag and the dict may change apart, so there
// it is not relied on.
unsigned version_tag(PyTypeObject* type) {
#ifdef Py_GIL_DISABLED
  (void)type;
  return 0;
#else
  if (!PyType_HasFeature(type, Py_TPFLAGS_VALID_VERSION_TAG)) return 0;
  return type->tp_version_tag;
#endif
}

unsigned assign_version_tag(PyTypeObject* type, PyObject* name) {
#if PY_VERSION_HEX >= 0x030C0000
  (void)name;
  PyUnstable_Type_AssignVersionTag(type);
#else
  // A lookup through the type's attribute cache gives it a tag.
  Ref found = Ref::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(type), name));
  if (!found) PyErr_Clear();
#endif
  return version_tag(type);
}

// Whether the class dict of `type` still holds its own descriptor of
// `method`. A positive answer is remembered with the type's version tag, so
// the dict is read again only after a change of the class.
bool serves_own_method(ClassState& state, PyTypeObject* type, WalkMethod method) {
  const size_t slot = static_cast<size_t>(method);
  unsigned tag = version_tag(type);
  if (tag != 0 && tag == state.checked_tags[slot].load(std::memory_order_relaxed)) {
    return true;
  }
  PyObject* own = state.own_methods[slot].load(std::memory_order_acquire);
  // Only the identity is compared, so the borrowed result is never used.
  PyObject* current = PyDict_GetItemWithError(type->tp_dict, walk_method_name(method));
  if (!current && PyErr_Occurred()) PyErr_Clear();
  if (!own || current != own) return false;
  if (tag == 0) tag = assign_version_tag(type, walk_method_name(method));
  if (tag != 0) state.checked_tags[slot].store(tag, std::memory_order_relaxed);
  return true;
}

PyObject* get_lineno(PyObject* self, void*) {
  NodeObject* node = as_node(self);
  if (!node->has_lineno) Py_RETURN_NONE;
  return PyLong_FromUnsignedLongLong(node->lineno);
}

PyObject* get_field(PyObject* self, void* closure) {
  return Py_NewRef(as_node(self)->fields[reinterpret_cast<uintptr_t>(closure)]);
}

// Deep trees are freed iteratively: past a nesting depth, a node whose count
// dropped to zero is parked and released by the outermost deallocation, so
// dropping a long chain cannot exhaust the native stack. The nodes are not
// tracked by the cycle collector, so the interpreter's own trashcan does not
// apply to them.
constexpr int kDeallocDepthLimit = 50;
thread_local int dealloc_depth = 0;
thread_local std::vector<PyObject*> parked;

void destroy(PyObject* self) {
  NodeObject* node = as_node(self);
  PyTypeObject* type = Py_TYPE(self);
  size_t count = field_count_of(self);
  for (size_t i = 0; i < count; ++i) Py_CLEAR(node->fields[i]);
  type->tp_free(self);
  Py_DECREF(type);
}

void node_dealloc(PyObject* self) {
  if (dealloc_depth >= kDeallocDepthLimit) {
    // A C++ exception must not unwind into the interpreter's decref; with no
    // room to park the node, it is freed right here instead.
    try {
      parked.push_back(self);
      return;
    } catch (const std::bad_alloc&) {
    }
  }
  ++dealloc_depth;
  destroy(self);
  if (dealloc_depth == 1) {
    while (!parked.empty()) {
      PyObject* next = parked.back();
      parked.pop_back();
      destroy(next);
    }
  }
  --dealloc_depth;
}

std::string class_doc(const ClassDesc& desc) {
  std::string doc = desc.name;
  doc += '(';
  for (size_t i = 0; i < desc.nfields; ++i) {
    doc += desc.fields[i].attr;
    doc += ", ";
  }
  doc += "lineno=None)\n--\n\n";
  return doc;
}

// Creates the type object; NULL with the interpreter's error on failure.
PyTypeObject* create_type_object(size_t index) {
  const ClassDesc& desc = describe(index);
  ClassState& state = class_states[index];
  state.getset[0] = {"lineno", get_lineno, nullptr, "", nullptr};
  for (size_t i = 0; i < desc.nfields; ++i) {
    state.getset[i + 1] = {desc.fields[i].attr, get_field, nullptr, "",
                           reinterpret_cast<void*>(static_cast<uintptr_t>(i))};
  }
  state.getset[desc.nfields + 1] = {};
  const SlotSet& slots = kSlotSets[index];
  state.methods[0] = {"accept", reinterpret_cast<PyCFunction>(
                                    reinterpret_cast<void (*)()>(slots.accept)),
                      METH_FASTCALL | METH_KEYWORDS, kAcceptDoc};
  state.methods[1] = {"generic", reinterpret_cast<PyCFunction>(
                                     reinterpret_cast<void (*)()>(slots.generic)),
                      METH_FASTCALL | METH_KEYWORDS, kGenericDoc};
  state.methods[2] = {};
  std::string doc = class_doc(desc);
  PyType_Slot type_slots[] = {
      {Py_tp_doc, const_cast<char*>(doc.c_str())},
      {Py_tp_new, reinterpret_cast<void*>(slots.tp_new)},
      {Py_tp_repr, reinterpret_cast<void*>(slots.repr)},
      {Py_tp_richcompare, reinterpret_cast<void*>(slots.richcompare)},
      {Py_tp_methods, state.methods},
      {Py_tp_getset, state.getset},
      {Py_tp_base, &PyBaseObject_Type},
      {Py_tp_dealloc, reinterpret_cast<void*>(node_dealloc)},
      {0, nullptr},
  };
  PyType_Spec type_spec = {
      desc.type_name,
      static_cast<int>(offsetof(NodeObject, fields) + desc.nfields * sizeof(PyObject*)),
      0,
      Py_TPFLAGS_DEFAULT,
      type_slots,
  };
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&type_spec));
}

// Sets `fields` on the type; -1 with the chained RuntimeError on failure.
int set_class_attributes(size_t index, PyTypeObject* type) {
  const ClassDesc& desc = describe(index);
  Ref fields = Ref::steal(PyList_New(0));
  for (size_t i = 0; fields && i < desc.nfields; ++i) {
    Ref key = Ref::steal(PyUnicode_FromString(desc.fields[i].key));
    if (!key || PyList_Append(fields.get(), key.get()) < 0) fields.reset();
  }
  if (!fields) {
    raise_chained(PyExc_RuntimeError,
                  std::string("An error occurred while initializing `") +
                      desc.name + ".fields`");
    return -1;
  }
  if (PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), "fields",
                             fields.get()) < 0) {
    raise_chained(PyExc_RuntimeError,
                  std::string("An error occurred while initializing `") +
                      desc.name + ".__dict__`");
    return -1;
  }
  return 0;
}

PyTypeObject* request_type_by_index(size_t index) {
  ClassState& state = class_states[index];
  const ClassDesc& desc = describe(index);
  PyTypeObject* type = state.type.load(std::memory_order_acquire);
  if (!type) {
    PyTypeObject* created = create_type_object(index);
    if (!created) {
      on_failure();
      raise_chained(PyExc_RuntimeError,
                    std::string("An error occurred while initializing class ") +
                        desc.name);
      return nullptr;
    }
    PyTypeObject* expected = nullptr;
    if (state.type.compare_exchange_strong(expected, created,
                                           std::memory_order_acq_rel)) {
      type = created;
      keep_own_methods(state, type);
    } else {
      Py_DECREF(created);
      type = expected;
    }
  }
  if (!state.attributes_set.load(std::memory_order_acquire)) {
    if (set_class_attributes(index, type) < 0) {
      raise_chained(PyExc_RuntimeError,
                    std::string("An error occurred while initializing class ") +
                        desc.name);
      return nullptr;
    }
    state.attributes_set.store(true, std::memory_order_release);
  }
  return type;
}

PyTypeObject* require_type_by_index(size_t index) {
  PyTypeObject* type = class_states[index].type.load(std::memory_order_acquire);
  if (type) return type;
  type = request_type_by_index(index);
  if (!type) {
    PyErr_WriteUnraisable(nullptr);
    panic(std::string("failed to create type object for `") +
          describe(index).name + "`");
  }
  return type;
}

struct ConstructorSignature {
  std::array<const char*, kMaxFields + 1> names;
  Signature signature;
};

const ConstructorSignature& constructor_signature(size_t index) {
  static const auto signatures = [] {
    auto all = std::make_unique<std::array<ConstructorSignature, kClassCount>>();
    for (size_t i = 0; i < kClassCount; ++i) {
      const ClassDesc& desc = describe(i);
      ConstructorSignature& entry = (*all)[i];
      for (size_t f = 0; f < desc.nfields; ++f) entry.names[f] = desc.fields[f].attr;
      entry.names[desc.nfields] = "lineno";
      entry.signature.full_name = std::string(desc.name) + ".__new__()";
      entry.signature.names = std::span<const char* const>(entry.names.data(),
                                                           desc.nfields + 1);
      entry.signature.required = desc.nfields;
    }
    return all;
  }();
  return (*signatures)[index];
}

// Allocates an empty instance through object.__new__(type).
PyObject* allocate(PyTypeObject* type) {
  Ref empty = Ref::steal(PyTuple_New(0));
  if (!empty) return nullptr;
  PyObject* obj = PyBaseObject_Type.tp_new(type, empty.get(), nullptr);
  if (!obj && !PyErr_Occurred()) {
    PyErr_SetString(PyExc_SystemError,
                    "attempted to fetch exception but none was set");
  }
  return obj;
}

bool convert_lineno(PyObject* value, Lineno& out) {
  if (!value || value == Py_None) {
    out.reset();
    return true;
  }
  Ref number;
  if (PyLong_Check(value)) {
    number = Ref::borrow(value);
  } else {
    number = Ref::steal(PyNumber_Index(value));
  }
  unsigned long long converted = static_cast<unsigned long long>(-1);
  if (number) converted = PyLong_AsUnsignedLongLong(number.get());
  if (!number || (converted == static_cast<unsigned long long>(-1) &&
                  PyErr_Occurred())) {
    prefix_argument_error("lineno");
    return false;
  }
  out = converted;
  return true;
}

}  // namespace

PyObject* node_new(size_t cls, PyTypeObject* type, PyObject* args,
                   PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const ConstructorSignature& ctor = constructor_signature(cls);
    const size_t count = describe(cls).nfields;
    PyObject* slots[kMaxFields + 1];
    if (!bind_tuple_dict(ctor.signature, args, kwargs, slots)) return nullptr;
    Ref values[kMaxFields];
    for (size_t i = 0; i < count; ++i) values[i] = Ref::borrow(slots[i]);
    Lineno lineno;
    if (!convert_lineno(slots[count], lineno)) return nullptr;
    PyObject* obj = allocate(type);
    if (!obj) return nullptr;
    NodeObject* node = as_node(obj);
    node->has_lineno = lineno.has_value();
    node->lineno = lineno.value_or(0);
    for (size_t i = 0; i < count; ++i) node->fields[i] = values[i].release();
    return obj;
  });
}

PyTypeObject* request_type(NodeClass cls) {
  return request_type_by_index(static_cast<size_t>(cls));
}

PyTypeObject* require_type(NodeClass cls) {
  return require_type_by_index(static_cast<size_t>(cls));
}

int native_class(PyObject* obj, WalkMethod method) {
  PyTypeObject* type = Py_TYPE(obj);
  if (type->tp_dealloc != node_dealloc ||
      type->tp_getattro != PyObject_GenericGetAttr) {
    return -1;
  }
  // A class's tp_methods points into its own ClassState, which gives the
  // class index without searching the table.
  const uintptr_t offset = reinterpret_cast<uintptr_t>(type->tp_methods) -
                           reinterpret_cast<uintptr_t>(&class_states[0].methods);
  const size_t index = offset / sizeof(ClassState);
  if (offset % sizeof(ClassState) != 0 || index >= kClassCount) return -1;
  ClassState& state = class_states[index];
  if (state.type.load(std::memory_order_acquire) != type) return -1;
  return serves_own_method(state, type, method) ? static_cast<int>(index) : -1;
}

bool is_instance(PyObject* obj, NodeClass cls) {
  PyTypeObject* type = require_type(cls);
  return Py_TYPE(obj) == type || PyType_IsSubtype(Py_TYPE(obj), type);
}

std::vector<Signature> make_method_signatures(const char* method,
                                              std::span<const char* const> names,
                                              size_t required, bool lenient_names) {
  std::vector<Signature> signatures;
  signatures.reserve(kClassCount);
  for (size_t i = 0; i < kClassCount; ++i) {
    signatures.push_back(
        Signature{std::string(describe(i).name) + "." + method + "()", names,
                  required, lenient_names});
  }
  return signatures;
}

bool check_receiver(size_t cls, PyObject* self) {
  PyTypeObject* type = require_type_by_index(cls);
  if (Py_TYPE(self) == type || PyType_IsSubtype(Py_TYPE(self), type)) return true;
  raise_not_instance(self, describe(cls).name);
  return false;
}

Ref create_node(NodeClass cls, Lineno lineno, Ref* fields, size_t count) {
  const size_t index = static_cast<size_t>(cls);
  if (count != describe(index).nfields) {
    panic(std::string("wrong field count for `") + describe(index).name + "`");
  }
  for (size_t i = 0; i < count; ++i) {
    if (!fields[i]) {
      on_failure();
      return Ref();
    }
  }
  PyTypeObject* type = require_type_by_index(index);
  // Our own classes are never abstract, so object.__new__ would come down
  // to tp_alloc anyway; a parse makes one node per few source bytes.
  Ref obj = Ref::steal(type->tp_alloc(type, 0));
  if (!obj) return obj;
  NodeObject* node = as_node(obj.get());
  node->has_lineno = lineno.has_value();
  node->lineno = lineno.value_or(0);
  for (size_t i = 0; i < count; ++i) node->fields[i] = fields[i].release();
  return obj;
}

Ref copy_node(PyObject* node) {
  for (size_t index = 0; index < kClassCount; ++index) {
    if (class_states[index].type.load(std::memory_order_acquire) != Py_TYPE(node)) continue;
    const NodeObject* source = as_node(node);
    Ref fields[kMaxFields];
    const size_t count = describe(index).nfields;
    for (size_t i = 0; i < count; ++i) fields[i] = Ref::borrow(source->fields[i]);
    const Lineno lineno = source->has_lineno ? Lineno(source->lineno) : std::nullopt;
    return create_node(static_cast<NodeClass>(index), lineno, fields, count);
  }
  return Ref::borrow(node);
}

int register_types(PyObject* module) {
  for (size_t i = 0; i < kClassCount; ++i) {
    PyTypeObject* type = request_type_by_index(i);
    if (!type) return -1;
    if (lib::register_class(module, describe(i).name,
                            reinterpret_cast<PyObject*>(type)) < 0) {
      return -1;
    }
  }
  return 0;
}

}  // namespace zarnu::ast
