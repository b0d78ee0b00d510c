// The PHP grammar as the translation sees it: the language that the
// tree_sitter_php package ships, with its symbols and field names mapped once
// onto our own enums, so that no node's kind text is compared while a tree is
// translated.
#pragma once

#include <Python.h>
#include <tree_sitter/api.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zarnu::translate {

enum class Kind : uint16_t {
  Other,  // every kind text not listed in kinds.def
#define ZARNU_KIND(kind, text) kind,
#include "translate/kinds.def"
#undef ZARNU_KIND
};

inline constexpr size_t kKindCount = 1
#define ZARNU_KIND(kind, text) +1
#include "translate/kinds.def"
#undef ZARNU_KIND
    ;

enum class Field : uint8_t {
#define ZARNU_FIELD(field, name) field,
#include "translate/fields.def"
#undef ZARNU_FIELD
};

inline constexpr size_t kFieldCount = 0
#define ZARNU_FIELD(field, name) +1
#include "translate/fields.def"
#undef ZARNU_FIELD
    ;

class Grammar {
 public:
  explicit Grammar(const TSLanguage* language);

  // Owned by the tree_sitter_php module, which is never unloaded.
  const TSLanguage* language() const { return language_; }

  Kind kind(TSSymbol symbol) const {
    if (symbol < kinds_.size()) return kinds_[symbol];
    return symbol == kErrorSymbol ? Kind::Error : Kind::Other;
  }

  // 0 when the grammar lacks the field, which makes every lookup miss.
  TSFieldId field_id(Field field) const {
    return field_ids_[static_cast<size_t>(field)];
  }

 private:
  // tree-sitter's ts_builtin_sym_error: error nodes carry it, and it lies
  // outside the range that ts_language_symbol_count reports.
  static constexpr TSSymbol kErrorSymbol = static_cast<TSSymbol>(-1);

  const TSLanguage* language_;
  std::vector<Kind> kinds_;  // indexed by symbol id
  std::array<TSFieldId, kFieldCount> field_ids_{};
};

// Owners of the tree-sitter objects a parse makes.
using TreePtr = std::unique_ptr<TSTree, decltype(&ts_tree_delete)>;
using ParserPtr = std::unique_ptr<TSParser, decltype(&ts_parser_delete)>;

// The text a parse reads differs from the source in a few bytes that the
// grammar would misread; the translation cuts its texts from the original,
// at the same offsets, so the two have the same length.
//
// The grammar takes a NUL byte for the end of the text, where PHP reads it
// as an ordinary character of a string, a comment or inline text. A parse
// reads each NUL as this byte, which the grammar reads as an ordinary
// character in all of those, the heredoc scanner included.
inline constexpr char kNulStandIn = '\x01';

// The grammar lexes a class name that is also a cast type ("Binary",
// "Integer", ...) as the cast keyword at the start of an argument, so
// `f(Binary::A)` or `f(Integer\X::B)` would lose the name. A parse reads
// such a name, followed by "::" or "\", as a plain name of the same length.
inline constexpr char kNameStandIn = 'Z';

// Fills `out` with `text` as a parse is to read it and returns true, or
// returns false when that is `text` itself.
bool with_stand_ins(std::string_view text, std::string& out);

// The grammar, loaded from the tree_sitter_php package on the first success
// in the process and kept from then on. Borrowed. Returns NULL with the
// import error, or RuntimeError "Incompatible language version V. Expected
// minimum 13, maximum 15", set on failure.
const Grammar* load_grammar();

}  // namespace zarnu::translate
