// Reading text out of the source: node texts borrowed from the UTF-8 buffer,
// and the trimming, lowercasing and small tests that kind translations apply
// to them. None of these fails; a range that is not valid UTF-8 reads as "".
#pragma once

#include <Python.h>
#include <tree_sitter/api.h>

#include <span>
#include <string>
#include <string_view>

#include "lib/ref.h"
#include "translate/context.h"

namespace zarnu::translate {

// Source bytes [start, end) as text, borrowed from the source; "" when the
// range lies outside the source or is not valid UTF-8.
std::string_view source_slice(const Ctx& ctx, uint32_t start, uint32_t end);

// The node's text exactly as written, borrowed from the source.
inline std::string_view text_of(TSNode node, const Ctx& ctx) {
  return source_slice(ctx, ts_node_start_byte(node), ts_node_end_byte(node));
}

// The node's text as a new str (NULL with MemoryError when that fails).
Ref text_str(TSNode node, const Ctx& ctx);

// text_str, or a new "" for a null node.
Ref text_or_empty(TSNode node, const Ctx& ctx);

// The text of the child in grammar field `field`, borrowed from the source;
// "" when there is none.
std::string_view field_text(TSNode node, Field field, const Ctx& ctx);

// The text of the child in `field` as a new str, or None when there is none
// (NULL with MemoryError when the str cannot be made).
Ref field_text_or_none(TSNode node, Field field, const Ctx& ctx);

// The node's text as owned text.
inline std::string owned_text(TSNode node, const Ctx& ctx) {
  return std::string(text_of(node, ctx));
}

// The node's text without white space at either end, as a new str (NULL
// with MemoryError when that fails).
Ref trimmed_str(TSNode node, const Ctx& ctx);

// The node's text trimmed and lowercased.
std::string lowered_text(TSNode node, const Ctx& ctx);

// `text` without Unicode white space at either end.
std::string_view trim(std::string_view text);

// Full Unicode lowercasing, as str.lower() does it.
std::string lowercase(std::string_view text);

// Every byte is below 0x80.
bool is_ascii(std::string_view text);

// Every character is "A" to "Z" or "_".
bool is_upper_snake(std::string_view text);

// Removes every repetition of `affix` from both ends of `text`.
std::string_view strip_repeated(std::string_view text, std::string_view affix);

}  // namespace zarnu::translate
