// Backslash escapes of PHP string literals, decoded into text. The string
// translation (strings.cpp) cuts a literal into text pieces and hands each
// piece here with the quoting of the literal it came from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zarnu::translate {

// The five ways PHP reads backslashes, one per kind of literal. They differ
// in which quote character a backslash may escape, and in whether escapes
// are read at all.
enum class Quoting : uint8_t {
  Single,    // 'x': only \' and \\ are escapes
  Nowdoc,    // <<<'X': no escapes at all
  Double,    // "x": the full set, with \"
  Heredoc,   // <<<X: the full set, no quote escape
  Backtick,  // `x`: the full set, with \`
};

// `text` (valid UTF-8) with its escapes decoded as PHP decodes them for
// `quoting`. A backslash that starts no escape stays, as in PHP. Unlike PHP,
// which works on bytes, a numeric escape gives the character with that code
// point, so the result is always valid UTF-8: "\xE9" is "é" (U+00E9), "\400"
// is U+0100. A \u{...} escape that names no Unicode scalar value (a
// surrogate, a value past U+10FFFF; PHP refuses to compile those) stays as
// written. A new text; never fails.
std::string unescape_string(std::string_view text, Quoting quoting);

}  // namespace zarnu::translate
