// The strs of one parse: equal short ASCII texts (names, variables,
// operators, keywords) share one str object, so that a result holds each
// spelling once per file instead of once per use. The table lives in the
// translation context and lets go of its references when the parse ends.
#pragma once

#include <Python.h>

#include <cstddef>
#include <string_view>
#include <vector>

#include "lib/ref.h"

namespace zarnu::translate {

class StrTable {
 public:
  // `expected`: about how many distinct texts the parse will make, so that
  // the table seldom has to grow.
  explicit StrTable(size_t expected) : expected_(expected) {}
  ~StrTable();
  StrTable(const StrTable&) = delete;
  StrTable& operator=(const StrTable&) = delete;

  // New reference to a str of the UTF-8 `text`, the one already made for an
  // equal text when there is one; NULL with the exception set on failure.
  // Long or non-ASCII texts are rare enough per spelling to be made anew.
  Ref get(std::string_view text);

 private:
  struct Slot {
    size_t hash;
    PyObject* str;  // owned; NULL for a free slot
  };
  bool grow();

  std::vector<Slot> slots_;
  size_t used_ = 0;
  const size_t expected_;
};

}  // namespace zarnu::translate
