// The per-parse str table: open addressing with linear probing over ASCII
// strs, whose character data is the UTF-8 key itself.
#include "translate/str_table.h"

#include <cstring>
#include <functional>
#include <new>

#include "lib/errors.h"
#include "translate/text.h"

namespace zarnu::translate {

namespace {

// Texts longer than this are mostly string literals and inline HTML, which
// seldom repeat within a file.
constexpr size_t kMaxShared = 40;
constexpr size_t kMinSlots = 64;

// An empty text may come with a null pointer, which memcmp must not see.
bool holds(PyObject* str, std::string_view text) {
  return static_cast<size_t>(PyUnicode_GET_LENGTH(str)) == text.size() &&
         (text.empty() || std::memcmp(PyUnicode_DATA(str), text.data(), text.size()) == 0);
}

// New ASCII str of `text` without a decoding pass; NULL with MemoryError.
PyObject* new_ascii_str(std::string_view text) {
  PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
  if (str && !text.empty()) std::memcpy(PyUnicode_DATA(str), text.data(), text.size());
  return str;
}

}  // namespace

StrTable::~StrTable() {
  for (const Slot& slot : slots_) Py_XDECREF(slot.str);
}

Ref StrTable::get(std::string_view text) {
  if (text.size() > kMaxShared || !is_ascii(text)) return make_str(text);
  if ((used_ + 1) * 2 > slots_.size() && !grow()) return make_str(text);
  const size_t hash = std::hash<std::string_view>{}(text);
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (!slot.str) {
      PyObject* str = new_ascii_str(text);
      if (!str) return Ref();
      slot = Slot{hash, str};
      ++used_;
      return Ref::borrow(str);
    }
    if (slot.hash == hash && holds(slot.str, text)) return Ref::borrow(slot.str);
  }
}

// Doubles the slots, or makes the first ones: enough for the expected texts
// at half load. False, the table unchanged, when there is no memory for that.
bool StrTable::grow() {
  size_t size = slots_.size() * 2;
  if (slots_.empty()) {
    size = kMinSlots;
    while (size < expected_ * 2) size *= 2;
  }
  std::vector<Slot> bigger;
  try {
    bigger.assign(size, Slot{0, nullptr});
  } catch (const std::bad_alloc&) {
    return false;
  }
  const size_t mask = bigger.size() - 1;
  for (const Slot& slot : slots_) {
    if (!slot.str) continue;
    size_t i = slot.hash & mask;
    while (bigger[i].str) i = (i + 1) & mask;
    bigger[i] = slot;
  }
  slots_.swap(bigger);
  return true;
}

}  // namespace zarnu::translate
