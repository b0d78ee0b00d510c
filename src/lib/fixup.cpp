// fixup_curly_offsets(nodes): [X, Block([A]), Block([D]), Y] becomes
// [ArrayOffset(ArrayOffset(X, A), D), Y]. Blocks are recognised by class
// name and a one-item `nodes` list, so stand-in objects qualify too.
#include "lib/fixup.h"


#include "ast/node.h"
#include "lib/args.h"
#include "lib/errors.h"

namespace zarnu::lib {

namespace {

const char* const kParams[] = {"nodes"};

// The single item of a block, or NULL when `item` is not a one-item block.
// Every failure while testing is discarded: it only ends the fold.
Ref single_block_item(PyObject* item) {
  static PyObject* const class_attr = interned("__class__");
  static PyObject* const name_attr = interned("__name__");
  static PyObject* const nodes_attr = interned("nodes");
  Ref cls = Ref::steal(PyObject_GetAttr(item, class_attr));
  Ref name = cls ? Ref::steal(PyObject_GetAttr(cls.get(), name_attr)) : Ref();
  Py_ssize_t size = 0;
  const char* text = nullptr;
  if (name && PyUnicode_Check(name.get())) {
    text = PyUnicode_AsUTF8AndSize(name.get(), &size);
  }
  if (!text || size != 5 || std::string_view(text, 5) != "Block") {
    PyErr_Clear();
    return Ref();
  }
  Ref nodes = Ref::steal(PyObject_GetAttr(item, nodes_attr));
  if (!nodes || !PyList_Check(nodes.get()) || PyList_GET_SIZE(nodes.get()) != 1) {
    PyErr_Clear();
    return Ref();
  }
  return list_item(nodes.get(), 0);
}

PyObject* fixup_curly_offsets(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const Signature signature{"fixup_curly_offsets()", kParams, 1};
    PyObject* nodes = nullptr;
    if (!bind_fastcall(signature, args, nargs, kwnames, &nodes)) return nullptr;
    if (!PyList_Check(nodes)) {
      raise_not_instance(nodes, "list");
      prefix_argument_error("nodes");
      return nullptr;
    }
    // Attribute lookups run caller code that may change the input; work on
    // a snapshot of its items. The slice is copied in one step under the
    // list's own lock, so another thread cannot change it halfway through.
    Ref snapshot = Ref::steal(PyList_GetSlice(nodes, 0, PY_SSIZE_T_MAX));
    if (!snapshot) return nullptr;
    PyObject* const items = snapshot.get();  // ours alone: nobody changes it
    const Py_ssize_t count = PyList_GET_SIZE(items);
    Ref out = Ref::steal(PyList_New(0));
    if (!out) return nullptr;
    Py_ssize_t i = 0;
    while (i < count) {
      Ref current = Ref::borrow(PyList_GET_ITEM(items, i++));
      while (i < count) {
        Ref inner = single_block_item(PyList_GET_ITEM(items, i));
        if (!inner) break;
        current = ast::make(ast::NodeClass::ArrayOffset, std::nullopt,
                            std::move(current), std::move(inner));
        if (!current) return nullptr;
        ++i;
      }
      if (PyList_Append(out.get(), current.get()) < 0) return nullptr;
    }
    return out.release();
  });
}

}  // namespace

PyMethodDef fixup_curly_offsets_def = {
    "fixup_curly_offsets",
    reinterpret_cast<PyCFunction>(
        reinterpret_cast<void (*)()>(fixup_curly_offsets)),
    METH_FASTCALL | METH_KEYWORDS,
    "fixup_curly_offsets(nodes)\n--\n\n",
};

}  // namespace zarnu::lib
