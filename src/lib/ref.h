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

}  // namespace zarnu
