// Text readers over the UTF-8 source.
#include "translate/text.h"

#include <cstdint>

#include "lib/errors.h"

namespace zarnu::translate {

namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point that starts at text[pos], and its length in bytes. The text
// is valid UTF-8.
char32_t decode_at(std::string_view text, size_t pos, size_t& length) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (pos + length > text.size()) {
    length = 1;
    return 0xFFFD;
  }
  char32_t point = lead & (0x3F >> (length - 1));
  for (size_t i = 1; i < length; ++i) {
    point = (point << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  }
  return point;
}

// The Unicode White_Space property.
bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 ||
         c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
         c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

bool is_ascii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string_view source_slice(const Ctx& ctx, uint32_t start, uint32_t end) {
  const std::string_view source = ctx.source();
  if (start > end || end > source.size()) return {};
  // The source as a whole came from a str and so is valid UTF-8: a range is
  // valid exactly when neither end cuts a character.
  if (start < source.size() && is_continuation(source[start])) return {};
  if (end < source.size() && is_continuation(source[end])) return {};
  return source.substr(start, end - start);
}

Ref text_str(TSNode node, const Ctx& ctx) { return ctx.str(text_of(node, ctx)); }

Ref text_or_empty(TSNode node, const Ctx& ctx) {
  return ts_node_is_null(node) ? ctx.str("") : text_str(node, ctx);
}

std::string_view field_text(TSNode node, Field field, const Ctx& ctx) {
  const TSNode child = ctx.field(node, field);
  return ts_node_is_null(child) ? std::string_view() : text_of(child, ctx);
}

Ref field_text_or_none(TSNode node, Field field, const Ctx& ctx) {
  const TSNode child = ctx.field(node, field);
  return ts_node_is_null(child) ? Ref::none() : text_str(child, ctx);
}

Ref trimmed_str(TSNode node, const Ctx& ctx) { return ctx.str(trim(text_of(node, ctx))); }

std::string lowered_text(TSNode node, const Ctx& ctx) {
  return lowercase(trim(text_of(node, ctx)));
}

std::string_view trim(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t length = 0;
    if (!is_white_space(decode_at(text, begin, length))) break;
    begin += length;
  }
  size_t end = text.size();
  while (end > begin) {
    size_t start = end - 1;
    while (start > begin && is_continuation(text[start])) --start;
    size_t length = 0;
    if (!is_white_space(decode_at(text, start, length))) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

std::string lowercase(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (is_ascii(text)) return lowered;
  // Beyond ASCII, lowercasing can change lengths ("İ" becomes two
  // characters); the interpreter's tables have it right.
  Ref str = make_str(text);
  Ref result = str ? Ref::steal(PyObject_CallMethod(str.get(), "lower", nullptr))
                   : Ref();
  Py_ssize_t size = 0;
  const char* data =
      result && PyUnicode_Check(result.get())
          ? PyUnicode_AsUTF8AndSize(result.get(), &size)
          : nullptr;
  if (!data) {
    PyErr_Clear();
    return lowered;
  }
  return std::string(data, static_cast<size_t>(size));
}

bool is_upper_snake(std::string_view text) {
  for (char c : text) {
    if (!((c >= 'A' && c <= 'Z') || c == '_')) return false;
  }
  return true;
}

std::string_view strip_repeated(std::string_view text, std::string_view affix) {
  if (affix.empty()) return text;
  while (text.starts_with(affix)) text.remove_prefix(affix.size());
  while (text.ends_with(affix)) text.remove_suffix(affix.size());
  return text;
}

}  // namespace zarnu::translate
