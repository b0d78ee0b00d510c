// Escape decoding. The scan runs over bytes: every byte it tests is ASCII,
// and in valid UTF-8 an ASCII byte is always a whole character, so copying
// the other bytes through leaves every character of the input intact.
#include "translate/escapes.h"

namespace zarnu::translate {

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_octal_digit(char c) { return c >= '0' && c <= '7'; }

void append_utf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// The control characters of the escapes that are one letter.
int letter_escape(char c) {
  switch (c) {
    case 'n': return '\n';
    case 't': return '\t';
    case 'r': return '\r';
    case 'v': return '\v';
    case 'e': return 0x1B;
    case 'f': return '\f';
    default: return -1;
  }
}

// The escape that starts at text[pos] (a backslash with at least one
// character after it) in one of the quotings that read the full set.
// Appends its value and returns the bytes it takes; 0 when the backslash
// starts no escape.
size_t decode_escape(std::string_view text, size_t pos, Quoting quoting,
                     std::string& out) {
  const char c = text[pos + 1];
  if (const int control = letter_escape(c); control >= 0) {
    out += static_cast<char>(control);
    return 2;
  }
  if (c == '\\' || c == '$' || (c == '"' && quoting == Quoting::Double) ||
      (c == '`' && quoting == Quoting::Backtick)) {
    out += c;
    return 2;
  }
  if (c == 'x' || c == 'X') {
    // One or two hex digits; "\x4g" is U+0004 followed by "g".
    size_t end = pos + 2;
    char32_t point = 0;
    while (end < text.size() && end < pos + 4 && hex_digit(text[end]) >= 0) {
      point = point * 16 + static_cast<char32_t>(hex_digit(text[end]));
      ++end;
    }
    if (end == pos + 2) return 0;
    append_utf8(out, point);
    return end - pos;
  }
  if (is_octal_digit(c)) {
    // Up to three octal digits, "\0" to "\777"; "\18" is U+0001 and "8".
    size_t end = pos + 1;
    char32_t point = 0;
    while (end < text.size() && end < pos + 4 && is_octal_digit(text[end])) {
      point = point * 8 + static_cast<char32_t>(text[end] - '0');
      ++end;
    }
    append_utf8(out, point);
    return end - pos;
  }
  if (c == 'u' && pos + 2 < text.size() && text[pos + 2] == '{') {
    size_t end = pos + 3;
    char32_t point = 0;
    bool too_large = false;
    while (end < text.size() && hex_digit(text[end]) >= 0) {
      point = point * 16 + static_cast<char32_t>(hex_digit(text[end]));
      // Stop the value growing once it is out of range: the digits may run
      // on far past what 32 bits can hold.
      if (point > 0x10FFFF) {
        too_large = true;
        point = 0x110000;
      }
      ++end;
    }
    const bool scalar = !too_large && !(point >= 0xD800 && point <= 0xDFFF);
    if (end == pos + 3 || end == text.size() || text[end] != '}' || !scalar) {
      return 0;
    }
    append_utf8(out, point);
    return end + 1 - pos;
  }
  return 0;
}

}  // namespace

std::string unescape_string(std::string_view text, Quoting quoting) {
  if (quoting == Quoting::Nowdoc || text.find('\\') == std::string_view::npos) {
    return std::string(text);
  }
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c != '\\' || pos + 1 == text.size()) {
      out += c;
      ++pos;
      continue;
    }
    size_t taken = 0;
    if (quoting == Quoting::Single) {
      const char next = text[pos + 1];
      if (next == '\'' || next == '\\') {
        out += next;
        taken = 2;
      }
    } else {
      taken = decode_escape(text, pos, quoting, out);
    }
    if (taken == 0) {
      // Not an escape: the backslash is kept and the character after it is
      // read afresh. That character is never a backslash, since "\\" is an
      // escape in every quoting that reads escapes.
      out += '\\';
      taken = 1;
    }
    pos += taken;
  }
  return out;
}

}  // namespace zarnu::translate
