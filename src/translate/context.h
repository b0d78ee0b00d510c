// The translation context: one per `parse`, handed by reference to every
// translation step. Besides the source and the grammar it carries what magic
// constants and declared names need: the current namespace, function, class
// and method, and the file name.
// Declarations change these for the span of their own translation through
// the scoped setters below, which put the earlier value back however the
// scope is left.
#pragma once

#include <tree_sitter/api.h>

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "translate/grammar.h"
#include "lib/native_stack.h"
#include "translate/str_table.h"

namespace zarnu::translate {

using Text = std::optional<std::string>;

// Sets a context field for the life of this object and then puts the earlier
// value back, also when an error or an unwinding leaves the scope.
template <class T>
class [[nodiscard]] Scoped {
 public:
  Scoped(T& field, T value) : field_(field), saved_(std::exchange(field, std::move(value))) {}
  ~Scoped() { field_ = std::move(saved_); }
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;

 private:
  T& field_;
  T saved_;
};

// The tree cursors of one parse, one per nesting level of child walks, so
// that a walk reuses a cursor (and its stack) instead of allocating one.
// Walks nest strictly: a walk started while another is in progress ends
// first, so a walk's level is fixed when it starts, even if it only takes
// its cursor later.
class CursorStack {
 public:
  CursorStack() = default;
  ~CursorStack() {
    for (TSTreeCursor& cursor : cursors_) ts_tree_cursor_delete(&cursor);
  }
  CursorStack(const CursorStack&) = delete;
  CursorStack& operator=(const CursorStack&) = delete;

  // The level of a walk that lasts until the matching pop().
  size_t push() { return depth_++; }
  void pop() { --depth_; }
  // The cursor of level `level`, set on `node`.
  TSTreeCursor* cursor(size_t level, TSNode node) {
    while (cursors_.size() <= level) cursors_.push_back(ts_tree_cursor_new(node));
    TSTreeCursor* cursor = &cursors_[level];
    ts_tree_cursor_reset(cursor, node);
    return cursor;
  }

 private:
  // A deque, so that growing it leaves the cursors of walks in progress
  // where they are.
  std::deque<TSTreeCursor> cursors_;
  size_t depth_ = 0;
};

class Ctx {
 public:
  Ctx(const Grammar& grammar, std::string_view source, Text filename)
      : grammar_(grammar),
        source_(source),
        // A file has about one distinct name or word per hundred bytes.
        strs_(source.size() / 100),
        filename_(std::move(filename)) {}
  Ctx(const Ctx&) = delete;
  Ctx& operator=(const Ctx&) = delete;

  const Grammar& grammar() const { return grammar_; }
  // The UTF-8 text of `code`; tree positions are byte offsets into it.
  std::string_view source() const { return source_; }
  StackGuard& stack() { return stack_; }
  // Child walks and the str table only serve reads, so a read-only context
  // has them too.
  CursorStack& cursors() const { return cursors_; }
  // A new reference to a str of `text`, shared with the equal texts made
  // before in this parse; NULL with the exception set on failure.
  Ref str(std::string_view text) const { return strs_.get(text); }

  Kind kind(TSNode node) const { return grammar_.kind(ts_node_symbol(node)); }
  // The child in grammar field `field`; a null node when there is none.
  TSNode field(TSNode node, Field field) const {
    return ts_node_child_by_field_id(node, grammar_.field_id(field));
  }

  const Text& namespace_name() const { return namespace_; }
  const Text& function_name() const { return function_; }
  const Text& class_name() const { return class_; }
  const Text& method_name() const { return method_; }
  const Text& filename() const { return filename_; }

  // `name` behind the current namespace and one "\", or `name` itself
  // outside a namespace (or in one whose name is "").
  std::string qualify_name(std::string_view name) const;

  // The value of the magic constant `name` ("__NAMESPACE__", "__FUNCTION__",
  // "__CLASS__", "__METHOD__", "__FILE__", "__DIR__"; exact case); nullopt
  // for any other name and for an unset context field. "__LINE__" is not
  // resolved here.
  Text resolve_magic(std::string_view name) const;

  // `namespace X;` holds for the rest of the file.
  void set_namespace(Text name) { namespace_ = std::move(name); }
  // `namespace X { ... }` holds for its body only.
  Scoped<Text> enter_namespace(Text name) { return {namespace_, std::move(name)}; }
  // A function's name, qualified by the namespace, while it is translated.
  Scoped<Text> enter_function(std::string_view name) {
    return {function_, qualify_name(name)};
  }
  // A class's name, qualified by the namespace, while it is translated.
  Scoped<Text> enter_class(std::string_view name) {
    return {class_, qualify_name(name)};
  }
  // While a method is translated, `method` and `function` both read
  // "Class::name"; outside a class neither changes.
  class MethodScope;
  MethodScope enter_method(std::string_view name);

 private:
  const Grammar& grammar_;
  const std::string_view source_;
  StackGuard stack_;
  mutable CursorStack cursors_;
  mutable StrTable strs_;
  Text namespace_;
  Text function_;
  Text class_;
  Text method_;
  const Text filename_;
};

class [[nodiscard]] Ctx::MethodScope {
 public:
  MethodScope(Ctx& ctx, Text qualified)
      : method_(ctx.method_, qualified ? qualified : ctx.method_),
        function_(ctx.function_, qualified ? std::move(qualified) : ctx.function_) {}

 private:
  Scoped<Text> method_;
  Scoped<Text> function_;
};

inline Ctx::MethodScope Ctx::enter_method(std::string_view name) {
  Text qualified;
  if (class_) qualified = *class_ + "::" + std::string(name);
  return MethodScope(*this, std::move(qualified));
}

}  // namespace zarnu::translate
