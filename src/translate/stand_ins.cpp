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
  for (std::string_view name : kCastNames) {
    if (word.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; same && i < word.size(); ++i) {
      char c = word[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      same = c == name[i];
    }
    if (same) return true;
  }
  return false;
}

// Where the name ending just before `end` starts, when it is a cast name
// (white space may come between, as it may before "::"); npos otherwise.
size_t cast_name_before(std::string_view text, size_t end, bool skip_blanks) {
  while (skip_blanks && end > 0 &&
         (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\n' ||
          text[end - 1] == '\r')) {
    --end;
  }
  size_t start = end;
  while (start > 0 && end - start < 8 && is_name_char(text[start - 1])) --start;
  if (start > 0 && is_name_char(text[start - 1])) return std::string_view::npos;
  return is_cast_name(text.substr(start, end - start)) ? start : std::string_view::npos;
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
  std::vector<std::pair<size_t, size_t>> names;  // start, end
  each_byte(text, '\0', [&](size_t at) { nuls.push_back(at); });
  each_byte(text, ':', [&](size_t at) {
    if (at + 1 >= text.size() || text[at + 1] != ':') return;
    const size_t start = cast_name_before(text, at, true);
    if (start != std::string_view::npos) names.emplace_back(start, at);
  });
  each_byte(text, '\\', [&](size_t at) {
    const size_t start = cast_name_before(text, at, false);
    if (start != std::string_view::npos) names.emplace_back(start, at);
  });
  if (nuls.empty() && names.empty()) return false;
  out.assign(text);
  for (size_t at : nuls) out[at] = kNulStandIn;
  for (auto [start, end] : names) {
    for (size_t i = start; i < end && is_name_char(out[i]); ++i) out[i] = kNameStandIn;
  }
  return true;
}

}  // namespace zarnu::translate
