// Internal faults and error conventions shared by every entry point.
//
// An internal fault of our own logic is a C++ `Panic`; it unwinds to the
// nearest interpreter boundary (`guarded`), which raises it as
// `PanicException`. Errors of caller code stay ordinary Python exceptions and
// travel as NULL / -1 with the exception set, as the C API does.
#pragma once

#include <Python.h>

#include <source_location>
#include <string>
#include <string_view>

#include "lib/ref.h"

namespace zarnu {

struct Panic {
  std::string message;
};

// clang 14, which the coverage-guided fuzzing build uses, lacks the builtin
// behind libstdc++'s std::source_location; the older builtins give the same.
#if defined(__clang__) && __clang_major__ < 15
class SourceLocation {
 public:
  static constexpr SourceLocation current(const char* file = __builtin_FILE(),
                                          unsigned line = __builtin_LINE(),
                                          unsigned column = __builtin_COLUMN()) noexcept {
    return SourceLocation(file, line, column);
  }
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr unsigned line() const noexcept { return line_; }
  constexpr unsigned column() const noexcept { return column_; }

 private:
  constexpr SourceLocation(const char* file, unsigned line, unsigned column)
      : file_(file), line_(line), column_(column) {}
  const char* file_;
  unsigned line_;
  unsigned column_;
};
#else
using SourceLocation = std::source_location;
#endif

// Writes a report of the fault (thread, source location, message) to stderr
// and throws it as a Panic.
[[noreturn]] void panic(
    std::string message,
    SourceLocation where = SourceLocation::current());

// The PanicException class (derived from BaseException), created on first
// use. Borrowed; it lives for the rest of the process.
PyObject* panic_exception_type();

// Sets PanicException(message) as the current exception. Ends the process
// when even that is impossible.
void raise_panic(std::string_view message) noexcept;

// To be called right after an interpreter call reported failure. Makes sure
// an exception is set (SystemError when the callee set none) and turns a
// PanicException that came back from caller code into a resumed fault:
// notice and traceback go to stderr and a Panic with its text is thrown.
void on_failure();

// Like the above for object creation that must not fail: the pending error is
// written as unraisable and the fault "PyObject pointer is null" is thrown.
// Returns the object otherwise.
Ref expect_object(PyObject* obj);

// Runs a slot body so that no C++ exception reaches the interpreter. A Panic
// becomes PanicException and `on_error` is returned.
template <class R, class F>
R guarded(R on_error, F&& body) noexcept {
  try {
    return body();
  } catch (const Panic& fault) {
    raise_panic(fault.message);
  } catch (const std::bad_alloc&) {
    Py_FatalError("zarnu: out of memory");
  } catch (...) {
    raise_panic("unexpected C++ exception");
  }
  return on_error;
}

// Removes the current exception and returns it (normalized, traceback
// attached); an empty Ref when none is set.
Ref take_exception() noexcept;

// Makes `exc` (an exception instance) the current exception again.
void restore_exception(Ref exc) noexcept;

// Replaces the current exception by `type(message)` whose __cause__ is the
// replaced exception.
void raise_chained(PyObject* type, const std::string& message);

// The qualified name of a type, or "<failed to extract type name>".
std::string type_qualname(PyTypeObject* type);

// Raises TypeError "'{type}' object is not an instance of '{target}'", or
// "'None' is not an instance of '{target}'" for None.
void raise_not_instance(PyObject* obj, std::string_view target);

// When the current exception is exactly TypeError, replaces it by
// TypeError "argument '{param}': {old}" whose cause is the old one's cause.
// Any other exception is left as it is.
void prefix_argument_error(std::string_view param);

// An interned str for an attribute name that is looked up often; made once
// by each caller (`static PyObject* const name = interned("...")`) and kept
// for the life of the process.
PyObject* interned(const char* text);

// Builds a str from UTF-8 text; NULL with an exception set on failure.
Ref make_str(std::string_view text) noexcept;

// UTF-8 text of a str that may hold lone surrogates: those are encoded with
// "surrogatepass" and the ill-formed bytes replaced by U+FFFD. An empty
// optional-like result is reported by returning false.
bool lenient_utf8(PyObject* str, std::string& out);

}  // namespace zarnu
