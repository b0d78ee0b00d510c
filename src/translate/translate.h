// The frame of the translation from tree-sitter's syntax tree to node
// objects: what a step gives back, the one dispatching entry point
// `translate_with_ctx`, and the program-level walk that the root, nested
// programs, declaration lists and namespace bodies share.
#pragma once

#include <Python.h>
#include <tree_sitter/api.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "lib/ref.h"
#include "translate/context.h"
#include "translate/grammar.h"

namespace zarnu::translate {

// What translating one syntax node gives: a value (a node, a list, or a plain
// str, int, float or None), nothing (the node contributes no item; not the
// None object), or a failure with the interpreter's exception set.
class [[nodiscard]] Outcome {
 public:
  static Outcome nothing() { return Outcome(State::Nothing, Ref()); }
  static Outcome failure() { return Outcome(State::Failed, Ref()); }
  // Implicit, so that a translation can `return ast::make(...)`. A NULL
  // reference is a creation that failed with the exception set.
  Outcome(Ref value)
      : value_(std::move(value)), state_(value_ ? State::Value : State::Failed) {}

  bool failed() const { return state_ == State::Failed; }
  bool is_nothing() const { return state_ == State::Nothing; }
  bool has_value() const { return state_ == State::Value; }

  // The value, borrowed; NULL unless has_value().
  PyObject* get() const { return value_.get(); }
  // The value as a new reference; NULL unless has_value().
  Ref take() && { return std::move(value_); }
  // The value, or None for nothing. Only for an outcome that has not failed.
  Ref take_or_none() && {
    return state_ == State::Value ? std::move(value_) : Ref::none();
  }

 private:
  enum class State : uint8_t { Failed, Nothing, Value };
  Outcome(State state, Ref value) : value_(std::move(value)), state_(state) {}
  Ref value_;
  State state_;
};

// Translation of one kind: the node, the context, and the line number that
// the nodes built for it carry (its start row + 1).
using Handler = Outcome (*)(TSNode node, Ctx& ctx, uint64_t lineno);

// Translates any syntax node by its kind. Skips tag and keyword tokens;
// kinds without a translation of their own give the list of their named
// children's translations (nothing when there are none). Throws
// DepthExceeded when the tree is too deep for the thread's stack.
Outcome translate_with_ctx(TSNode node, Ctx& ctx);

// The list of top-level items of a whole tree: a new list, or NULL with the
// exception set (RecursionError when the tree is too deep to translate).
Ref translate_root(TSNode root, const Grammar& grammar, std::string_view source,
                   std::optional<std::string> filename);

// The children of a program-level node (program, declaration_list,
// namespace_definition), each handed to process_program_child with one list
// and one short-echo flag. A new list, or NULL with the exception set.
Ref translate_program_children(TSNode node, Ctx& ctx);

// One child of a program-level walk: tags, inline text and "<?=" are handled
// here, everything else goes through translate_with_ctx and emit_result.
// False with the exception set on failure.
bool process_program_child(TSNode node, Ctx& ctx, PyObject* list,
                           bool& short_echo);

// Adds one translated value to a program-level list: wrapped in Echo right
// after "<?=", spliced one level deep when it is a list, else appended.
// False with the exception set on failure.
bool emit_result(Ref value, PyObject* list, bool& short_echo, uint64_t lineno);

// The line number of the nodes built for a syntax node.
inline uint64_t line_of(TSNode node) {
  return static_cast<uint64_t>(ts_node_start_point(node).row) + 1;
}

}  // namespace zarnu::translate
