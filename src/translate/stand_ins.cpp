// The text a parse reads in place of the source (see grammar.h): found by a
// memchr scan for the few bytes that can need it, so that ordinary source is
// parsed in place, without a copy.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "translate/grammar.h"

namespace zarnu::translate {

namespace {

// The cast types of the grammar that PHP accepts as class names (or that
// name a namespace): "array" and the rest of PHP's keywords are read alike
// by the grammar in every position.
constexpr std::string_view kCastNames[] = {
    "binary", "bool", "boolean", "double", "float", "int",
    "integer", "object", "real", "string", "unset",
};

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool is_cast_name(std::string_view word) {
  constexpr size_t kLongest = 7;
  if (word.size() > kLongest) return false;
  char lowered[kLongest];
  for (size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    lowered[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  const std::string_view key(lowered, word.size());
  for (std::string_view name : kCastNames) {
    if (key == name) return true;
  }
  return false;
}

// The cast name that ends just before `end` (white space may come between,
// as it may before "::"), as a part of `text`; empty when there is none.
std::string_view cast_name_before(std::string_view text, size_t end, bool skip_blanks) {
  while (skip_blanks && end > 0 &&
         (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\n' ||
          text[end - 1] == '\r')) {
    --end;
  }
  size_t start = end;
  while (start > 0 && is_name_char(text[start - 1])) --start;
  const std::string_view word = text.substr(start, end - start);
  return is_cast_name(word) ? word : std::string_view();
}

// Calls `found(offset)` for each occurrence of `c` in `text`.
template <class F>
void each_byte(std::string_view text, char c, F&& found) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (const char* at = begin; at < end;) {
    const void* hit = std::memchr(at, c, static_cast<size_t>(end - at));
    if (!hit) return;
    at = static_cast<const char*>(hit);
    found(static_cast<size_t>(at - begin));
    ++at;
  }
}

}  // namespace

bool with_stand_ins(std::string_view text, std::string& out) {
  if (text.empty()) return false;
  std::vector<size_t> nuls;
  std::vector<std::string_view> names;
  each_byte(text, '\0', [&](size_t at) { nuls.push_back(at); });
  each_byte(text, ':', [&](size_t at) {
    if (at + 1 >= text.size() || text[at + 1] != ':') return;
    const std::string_view name = cast_name_before(text, at, true);
    if (!name.empty()) names.push_back(name);
  });
  each_byte(text, '\\', [&](size_t at) {
    const std::string_view name = cast_name_before(text, at, false);
    if (!name.empty()) names.push_back(name);
  });
  if (nuls.empty() && names.empty()) return false;
  out.assign(text);
  for (size_t at : nuls) out[at] = kNulStandIn;
  for (std::string_view name : names) {
    out.replace(static_cast<size_t>(name.data() - text.data()), name.size(), name.size(),
                kNameStandIn);
  }
  return true;
}

}  // namespace zarnu::translate
