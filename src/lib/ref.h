// Owning reference to an interpreter object.
//
// Every PyObject* that our code holds lives in a Ref, so that an early return
// or a C++ exception releases it. Raw pointers appear only where a slot hands
// a result back to the interpreter (`return result.release();`).
#pragma once

#include <Python.h>

#include <utility>

namespace zarnu {

class Ref {
 public:
  Ref() noexcept = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      PyObject* old = std::exchange(obj_, std::exchange(other.obj_, nullptr));
      Py_XDECREF(old);
    }
    return *this;
  }
  ~Ref() { Py_XDECREF(obj_); }

  // Takes over a new reference (the result of most C API calls). NULL is
  // kept as NULL: the caller tests the Ref afterwards.
  static Ref steal(PyObject* obj) noexcept { return Ref(obj); }
  // Takes a new reference to a borrowed object.
  static Ref borrow(PyObject* obj) noexcept {
    Py_XINCREF(obj);
    return Ref(obj);
  }
  static Ref none() noexcept { return borrow(Py_None); }
  static Ref boolean(bool value) noexcept {
    return borrow(value ? Py_True : Py_False);
  }

  PyObject* get() const noexcept { return obj_; }
  // Gives up ownership; the caller now owns the reference.
  PyObject* release() noexcept { return std::exchange(obj_, nullptr); }
  void reset() noexcept { Py_CLEAR(obj_); }
  explicit operator bool() const noexcept { return obj_ != nullptr; }

 private:
  explicit Ref(PyObject* obj) noexcept : obj_(obj) {}
  PyObject* obj_ = nullptr;
};

// Item `index` of a list (or list subclass) as a new reference, read from the
// list's storage; empty, with no exception left, when the index is past the
// end. Without the global lock another thread may replace or drop the item
// at any moment, so the reference must be taken under the list's own lock.
inline Ref list_item(PyObject* list, Py_ssize_t index) noexcept {
#if PY_VERSION_HEX >= 0x030D0000
  PyObject* item = PyList_GetItemRef(list, index);
  if (!item) PyErr_Clear();
  return Ref::steal(item);
#else
  if (index < 0 || index >= PyList_GET_SIZE(list)) return Ref();
  return Ref::borrow(PyList_GET_ITEM(list, index));
#endif
}

}  // namespace zarnu
