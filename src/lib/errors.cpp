// Internal faults, PanicException and the small error helpers shared by
// every entry point.
#include "lib/errors.h"

#include <pthread.h>

#include <atomic>
#include <cstdio>

namespace zarnu {

namespace {

std::atomic<PyObject*> panic_type_slot{nullptr};

std::string thread_name() {
  char name[64] = {0};
  if (pthread_getname_np(pthread_self(), name, sizeof name) == 0 && name[0]) {
    return name;
  }
  return "<unnamed>";
}

// str() of an exception value as UTF-8, or nullopt-like false.
bool exception_text(PyObject* exc, std::string& out) {
  Ref text = Ref::steal(PyObject_Str(exc));
  if (!text) {
    PyErr_Clear();
    return false;
  }
  return lenient_utf8(text.get(), out);
}

}  // namespace

Ref take_exception() noexcept {
#if PY_VERSION_HEX >= 0x030C0000
  return Ref::steal(PyErr_GetRaisedException());
#else
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value && traceback) PyException_SetTraceback(value, traceback);
  Py_XDECREF(type);
  Py_XDECREF(traceback);
  return Ref::steal(value);
#endif
}

void restore_exception(Ref exc) noexcept {
  if (!exc) return;
#if PY_VERSION_HEX >= 0x030C0000
  PyErr_SetRaisedException(exc.release());
#else
  PyObject* value = exc.release();
  PyErr_Restore(Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(value))), value,
                PyException_GetTraceback(value));
#endif
}

void panic(std::string message, SourceLocation where) {
  std::fprintf(stderr, "thread '%s' panicked at %s:%u:%u:\n%s\n",
               thread_name().c_str(), where.file_name(),
               static_cast<unsigned>(where.line()),
               static_cast<unsigned>(where.column()), message.c_str());
  throw Panic{std::move(message)};
}

PyObject* panic_exception_type() {
  PyObject* type = panic_type_slot.load(std::memory_order_acquire);
  if (type) return type;
  // Creating it must not disturb an exception that is being handled.
  Ref pending = take_exception();
  PyObject* created = PyErr_NewExceptionWithDoc(
      "zarnu.PanicException",
      "An internal fault of zarnu, raised instead of ending the process.",
      PyExc_BaseException, nullptr);
  if (!created) Py_FatalError("zarnu: cannot create PanicException");
  PyObject* expected = nullptr;
  if (!panic_type_slot.compare_exchange_strong(expected, created,
                                               std::memory_order_acq_rel)) {
    Py_DECREF(created);
    created = expected;
  }
  restore_exception(std::move(pending));
  return created;
}

void raise_panic(std::string_view message) noexcept {
  PyObject* type = panic_exception_type();
  PyObject* text =
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()),
                           "replace");
  if (!text) Py_FatalError("uncaught panic at ffi boundary");
  PyErr_SetObject(type, text);
  Py_DECREF(text);
}

void on_failure() {
  if (!PyErr_Occurred()) {
    PyErr_SetString(PyExc_SystemError,
                    "attempted to fetch exception but none was set");
    return;
  }
  PyObject* type = panic_type_slot.load(std::memory_order_acquire);
  if (!type || !PyErr_ExceptionMatches(type)) return;
  Ref value = take_exception();
  if (reinterpret_cast<PyObject*>(Py_TYPE(value.get())) != type) {
    // A subclass passes like any other exception.
    restore_exception(std::move(value));
    return;
  }
  std::string message;
  if (!exception_text(value.get(), message)) {
    message = "Unwrapped panic from Python code";
  }
  std::fputs(
      "--- zarnu is resuming a panic after fetching a PanicException from "
      "Python. ---\nPython stack trace below:\n",
      stderr);
  std::fflush(stderr);
  Ref traceback = Ref::steal(PyException_GetTraceback(value.get()));
  PyErr_Display(type, value.get(), traceback.get());
  throw Panic{std::move(message)};
}

Ref expect_object(PyObject* obj) {
  if (!obj) {
    if (!PyErr_Occurred()) {
      PyErr_SetString(PyExc_SystemError,
                      "attempted to fetch exception but none was set");
    }
    PyErr_WriteUnraisable(nullptr);
    panic("PyObject pointer is null");
  }
  return Ref::steal(obj);
}

void raise_chained(PyObject* type, const std::string& message) {
  Ref cause = take_exception();
  Ref text = make_str(message);
  if (!text) return;
  Ref exc = Ref::steal(PyObject_CallOneArg(type, text.get()));
  if (!exc) return;
  if (cause) PyException_SetCause(exc.get(), cause.release());
  PyErr_SetObject(type, exc.get());
}

std::string type_qualname(PyTypeObject* type) {
  Ref name = Ref::steal(PyType_GetQualName(type));
  std::string out;
  if (!name || !lenient_utf8(name.get(), out)) {
    PyErr_Clear();
    return "<failed to extract type name>";
  }
  return out;
}

void raise_not_instance(PyObject* obj, std::string_view target) {
  std::string target_text(target);
  if (obj == Py_None) {
    PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'",
                 target_text.c_str());
    return;
  }
  // Through a str object, not "%s": a __qualname__ may hold NUL characters.
  Ref name = make_str(type_qualname(Py_TYPE(obj)));
  if (!name) return;
  PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'",
               name.get(), target_text.c_str());
}

void prefix_argument_error(std::string_view param) {
  if (!PyErr_Occurred()) {
    on_failure();
    return;
  }
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
  Ref value = take_exception();
  if (reinterpret_cast<PyObject*>(Py_TYPE(value.get())) != PyExc_TypeError) {
    restore_exception(std::move(value));  // subclasses pass unchanged
    return;
  }
  std::string param_text(param);
  Ref text = Ref::steal(PyObject_Str(value.get()));
  if (!text) return;
  Ref message = Ref::steal(
      PyUnicode_FromFormat("argument '%s': %U", param_text.c_str(), text.get()));
  if (!message) return;
  Ref replacement =
      Ref::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
  if (!replacement) return;
  // PyException_SetCause steals; None counts as "no cause" for the reader.
  PyObject* cause = PyException_GetCause(value.get());
  PyException_SetCause(replacement.get(), cause ? cause : Py_NewRef(Py_None));
  PyErr_SetObject(PyExc_TypeError, replacement.get());
}

PyObject* interned(const char* text) {
  PyObject* name = PyUnicode_InternFromString(text);
  if (!name) Py_FatalError("zarnu: cannot intern an attribute name");
  return name;
}

Ref make_str(std::string_view text) noexcept {
  // An empty view may have no data at all; a null pointer means "allocate
  // uninitialised" to this call.
  return Ref::steal(PyUnicode_FromStringAndSize(
      text.empty() ? "" : text.data(), static_cast<Py_ssize_t>(text.size())));
}

bool lenient_utf8(PyObject* str, std::string& out) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (data) {
    out.assign(data, static_cast<size_t>(size));
    return true;
  }
  PyErr_Clear();
  Ref bytes = Ref::steal(PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass"));
  if (!bytes) {
    PyErr_Clear();
    return false;
  }
  Ref fixed = Ref::steal(PyUnicode_DecodeUTF8(PyBytes_AS_STRING(bytes.get()),
                                              PyBytes_GET_SIZE(bytes.get()),
                                              "replace"));
  if (!fixed) {
    PyErr_Clear();
    return false;
  }
  data = PyUnicode_AsUTF8AndSize(fixed.get(), &size);
  if (!data) {
    PyErr_Clear();
    return false;
  }
  out.assign(data, static_cast<size_t>(size));
  return true;
}

}  // namespace zarnu
