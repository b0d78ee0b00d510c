// Decoding integer and float literals.
#include "translate/numbers.h"

#include <Python.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace zarnu::translate {

namespace {

enum class Reading { Value, Overflow, Invalid };

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return -1;
}

// An optional sign and at least one digit of `base`, nothing else, read into
// a signed 64-bit integer. The digits are lowercase.
Reading read_int64(std::string_view text, int base, int64_t& out) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  if (text.empty()) return Reading::Invalid;
  const uint64_t limit =
      static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
  uint64_t magnitude = 0;
  bool overflow = false;
  for (char c : text) {
    const int digit = digit_value(c);
    if (digit < 0 || digit >= base) return Reading::Invalid;
    const auto d = static_cast<uint64_t>(digit);
    if (overflow || magnitude > (limit - d) / static_cast<uint64_t>(base)) {
      overflow = true;
    } else {
      magnitude = magnitude * static_cast<uint64_t>(base) + d;
    }
  }
  if (overflow) return Reading::Overflow;
  out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return Reading::Value;
}

// The value of decimal digits that read_int64 found too large, rounded to
// the nearest double (infinite past the double range), as PHP's strtod.
double overflowed_decimal(const std::string& text) {
  double value = PyOS_string_to_double(text.c_str(), nullptr, nullptr);
  if (PyErr_Occurred()) {
    const bool too_large = PyErr_ExceptionMatches(PyExc_OverflowError);
    PyErr_Clear();
    const bool negative = text[0] == '-';
    value = too_large ? (negative ? -HUGE_VAL : HUGE_VAL) : 0.0;
  }
  return value;
}

// PHP builds the float of a hex, octal or binary literal too large for an
// int one digit at a time, rounding at every step, so the last places can
// differ from the correctly rounded value. An octal or binary digit goes in
// as its character code, the code of '0' coming off after, as in PHP's
// `value * base + c - '0'`: two roundings per digit. The product is exact
// (a power of two), so a fused multiply-add could not change a sum.
double overflowed_digits(std::string_view text, int base) {
  const bool negative = text[0] == '-';
  if (text[0] == '-' || text[0] == '+') text.remove_prefix(1);
  double value = 0.0;
  for (char c : text) {
    if (base == 16) {
      value = value * 16 + digit_value(c);
    } else {
      value = value * base + c;
      value -= '0';
    }
  }
  return negative ? -value : value;
}

// Reads `text` in `base`: an int, the float of a value too large for one, or
// NULL without an exception when the text is no number in that base.
Ref read_in_base(const std::string& text, int base) {
  int64_t value = 0;
  switch (read_int64(text, base, value)) {
    case Reading::Value:
      return Ref::steal(PyLong_FromLongLong(value));
    case Reading::Overflow:
      return Ref::steal(PyFloat_FromDouble(
          base == 10 ? overflowed_decimal(text) : overflowed_digits(text, base)));
    case Reading::Invalid:
      break;
  }
  return Ref();
}

std::string without_separators(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '_') out += c;
  }
  return out;
}

}  // namespace

Ref integer_value(std::string_view literal) {
  std::string text = without_separators(literal);
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (text.size() >= 2 && text[0] == '0' &&
      (text[1] == 'x' || text[1] == 'b' || text[1] == 'o')) {
    const int base = text[1] == 'x' ? 16 : text[1] == 'b' ? 2 : 8;
    Ref value = read_in_base(text.substr(2), base);
    if (value || PyErr_Occurred()) return value;
    return Ref::steal(PyLong_FromLong(0));
  }
  // "017" is octal; "09" is not, and reads as decimal.
  if (text.size() >= 2 && text[0] == '0' &&
      text.find_first_of(".e") == std::string::npos) {
    Ref value = read_in_base(text, 8);
    if (value || PyErr_Occurred()) return value;
  }
  Ref value = read_in_base(text, 10);
  if (value || PyErr_Occurred()) return value;
  return Ref::steal(PyLong_FromLong(0));
}

Ref float_value(std::string_view literal) {
  const std::string text = without_separators(literal);
  char* end = nullptr;
  double value = PyOS_string_to_double(text.c_str(), &end, nullptr);
  if (PyErr_Occurred()) {
    PyErr_Clear();
    value = 0.0;
  } else if (text.empty() || end != text.c_str() + text.size()) {
    value = 0.0;
  }
  return Ref::steal(PyFloat_FromDouble(value));
}

}  // namespace zarnu::translate
