// Loading the PHP grammar from the tree_sitter_php package and mapping its
// symbols and fields onto Kind and Field.
#include "translate/grammar.h"

#include <atomic>
#include <cstring>
#include <string_view>

#include "lib/ref.h"

namespace zarnu::translate {

namespace {

struct KindText {
  Kind kind;
  std::string_view text;
};

constexpr KindText kKindTexts[] = {
#define ZARNU_KIND(kind, text) {Kind::kind, text},
#include "translate/kinds.def"
#undef ZARNU_KIND
};

constexpr const char* kFieldNames[] = {
#define ZARNU_FIELD(field, name) name,
#include "translate/fields.def"
#undef ZARNU_FIELD
};

std::atomic<const Grammar*> grammar_slot{nullptr};

// The language behind tree_sitter_php.language_php(). NULL with the
// interpreter's error set when the package cannot provide it.
const TSLanguage* import_language() {
  Ref module = Ref::steal(PyImport_ImportModule("tree_sitter_php"));
  if (!module) return nullptr;
  Ref capsule =
      Ref::steal(PyObject_CallMethod(module.get(), "language_php", nullptr));
  if (!capsule) return nullptr;
  return static_cast<const TSLanguage*>(
      PyCapsule_GetPointer(capsule.get(), "tree_sitter.Language"));
}

}  // namespace

Grammar::Grammar(const TSLanguage* language) : language_(language) {
  const uint32_t count = ts_language_symbol_count(language);
  kinds_.assign(count, Kind::Other);
  for (uint32_t symbol = 0; symbol < count; ++symbol) {
    const char* name =
        ts_language_symbol_name(language, static_cast<TSSymbol>(symbol));
    if (!name) continue;
    const std::string_view text(name);
    for (const KindText& entry : kKindTexts) {
      if (entry.text == text) {
        kinds_[symbol] = entry.kind;
        break;
      }
    }
  }
  for (size_t i = 0; i < kFieldCount; ++i) {
    field_ids_[i] = ts_language_field_id_for_name(
        language, kFieldNames[i], static_cast<uint32_t>(std::strlen(kFieldNames[i])));
  }
}

const Grammar* load_grammar() {
  if (const Grammar* grammar = grammar_slot.load(std::memory_order_acquire)) {
    return grammar;
  }
  const TSLanguage* language = import_language();
  if (!language) return nullptr;
  const uint32_t version = ts_language_abi_version(language);
  if (version < TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION ||
      version > TREE_SITTER_LANGUAGE_VERSION) {
    PyErr_Format(PyExc_RuntimeError,
                 "Incompatible language version %u. Expected minimum %d, "
                 "maximum %d",
                 static_cast<unsigned>(version),
                 TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION,
                 TREE_SITTER_LANGUAGE_VERSION);
    return nullptr;
  }
  const Grammar* created = new Grammar(language);
  const Grammar* expected = nullptr;
  if (!grammar_slot.compare_exchange_strong(expected, created,
                                            std::memory_order_acq_rel)) {
    delete created;  // another thread finished first; both read one language
    return expected;
  }
  return created;
}

}  // namespace zarnu::translate
