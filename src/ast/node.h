// The node classes: their table, instance layout and native construction.
//
// All 90 classes share one instance layout (object header, optional lineno,
// N field references) and one implementation of every slot, driven by the
// class table in nodes.def.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "lib/ref.h"

namespace zarnu::ast {

enum class NodeClass : uint8_t {
#define ZARNU_NODE(name, ...) name,
#include "ast/nodes.def"
#undef ZARNU_NODE
};

inline constexpr size_t kMaxFields = 6;

struct FieldDesc {
  const char* attr;  // attribute and constructor keyword, e.g. "type_"
  const char* key;   // entry of `fields` and key of `generic`, e.g. "type"
};

struct ClassDesc {
  const char* name;       // Python name, e.g. "Return"
  const char* type_name;  // "builtins." + name
  size_t nfields;
  std::array<FieldDesc, kMaxFields> fields;
};

namespace detail {
#define F(a) FieldDesc{#a, #a}
#define K(a, k) FieldDesc{#a, k}
template <class... T>
constexpr size_t count_fields(T...) {
  return sizeof...(T);
}
#define ZARNU_NODE(cls, ...)                                     \
  ClassDesc{#cls, "builtins." #cls, count_fields(__VA_ARGS__), {__VA_ARGS__}},
inline constexpr ClassDesc kClassTable[] = {
#include "ast/nodes.def"
};
#undef ZARNU_NODE
#undef K
#undef F
}  // namespace detail

inline constexpr size_t kClassCount = std::size(detail::kClassTable);

constexpr const ClassDesc& describe(NodeClass cls) {
  return detail::kClassTable[static_cast<size_t>(cls)];
}
constexpr const ClassDesc& describe(size_t index) {
  return detail::kClassTable[index];
}

using Lineno = std::optional<uint64_t>;

// Instance record of every node class.
struct NodeObject {
  PyObject_HEAD
  bool has_lineno;
  uint64_t lineno;
  PyObject* fields[];
};

inline NodeObject* as_node(PyObject* obj) {
  return reinterpret_cast<NodeObject*>(obj);
}

// Type object of a class, created on the first request in the process.
// Borrowed. Returns NULL with RuntimeError "An error occurred while
// initializing class {}" (caused by the underlying error) on failure.
PyTypeObject* request_type(NodeClass cls);

// Same, for callers that cannot take an error: a failure is written as
// unraisable and becomes the fault "failed to create type object for `{}`".
PyTypeObject* require_type(NodeClass cls);

// Whether `obj` is an instance of the class (exact type or a subtype).
bool is_instance(PyObject* obj, NodeClass cls);

// Builds a node natively. Takes over the field references in both outcomes.
// Returns a new reference, or NULL with an exception set. A NULL field
// (a failed creation upstream, exception already set) fails the node too.
Ref create_node(NodeClass cls, Lineno lineno, Ref* fields, size_t count);

template <class... Fields>
Ref make(NodeClass cls, Lineno lineno, Fields&&... fields) {
  Ref values[] = {std::forward<Fields>(fields)...};
  return create_node(cls, lineno, values, sizeof...(Fields));
}

// A new node of the same class as `node`, with the same lineno and the same
// field objects (a shallow copy): equal to it, but not the same object.
// Returns `node` itself (a new reference) when it is no node of ours; NULL
// with an exception set when the copy cannot be made.
Ref copy_node(PyObject* node);

// Stored field `index` of a node (borrowed). The caller vouches that `obj`
// is a node with more than `index` fields.
inline PyObject* field(PyObject* obj, size_t index) {
  return as_node(obj)->fields[index];
}

// Registers the 90 classes in `module` in table order; -1 on failure.
int register_types(PyObject* module);

}  // namespace zarnu::ast
