// translate_with_ctx: the table from kinds to their translations, the
// default translation for every other kind, and the structural kinds.
#include <array>
#include <utility>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

namespace {

constexpr HandlerEntry kFrameHandlers[] = {
    {Kind::Program, translate_program},
    {Kind::DeclarationList, translate_program},
    {Kind::ParenthesizedExpression, translate_first_operand},
    {Kind::ExpressionStatement, translate_first_operand},
    {Kind::TextInterpolation, translate_nested_inline_text},

    {Kind::Name, translate_name},
    {Kind::QualifiedName, translate_name},
    {Kind::RelativeName, translate_name},
    {Kind::Boolean, translate_literal_constant},
    {Kind::Null, translate_literal_constant},
    {Kind::Integer, translate_integer},
    {Kind::Float, translate_float},

    {Kind::VariableName, translate_variable_name},
    {Kind::DynamicVariableName, translate_dynamic_variable_name},
};

// Tag and keyword tokens, and namespace names (read by their parents).
constexpr Kind kSkipped[] = {
    Kind::OpenBrace,         Kind::CloseBrace,        Kind::Colon,
    Kind::EndifKeyword,      Kind::EndforKeyword,     Kind::EndwhileKeyword,
    Kind::NamespaceKeyword,  Kind::EndswitchKeyword,  Kind::EndforeachKeyword,
    Kind::EnddeclareKeyword, Kind::NamespaceName,
};

using HandlerTable = std::array<Handler, kKindCount>;

HandlerTable build_handler_table() {
  HandlerTable table{};
  const HandlerList areas[] = {
      kFrameHandlers,        string_handlers(),   operator_handlers(),
      intrinsic_handlers(),  call_handlers(),     access_handlers(),
      function_handlers(),   class_handlers(),    namespace_handlers(),
      control_handlers(),    statement_handlers(),
  };
  for (HandlerList area : areas) {
    for (const auto& [kind, handler] : area) {
      if (table[static_cast<size_t>(kind)]) {
        panic("two translations for one kind");
      }
      table[static_cast<size_t>(kind)] = handler;
    }
  }
  return table;
}

// Every area's list is a constant array, so the table can be built while the
// module loads, before any parse; a lookup then costs no initialisation check.
const HandlerTable kHandlerTable = build_handler_table();

constexpr auto kSkipTable = [] {
  std::array<bool, kKindCount> table{};
  for (Kind kind : kSkipped) table[static_cast<size_t>(kind)] = true;
  return table;
}();

// A kind without a translation of its own: the list of its named children's
// translations, nested lists kept; nothing when none gives a value.
Outcome translate_default(TSNode node, Ctx& ctx) {
  Ref list;
  for (Children child(node, ctx); child.next_named();) {
    Outcome item = translate_with_ctx(child.node(), ctx);
    if (item.failed()) return item;
    if (item.is_nothing()) continue;
    if (!list) {
      list = Ref::steal(PyList_New(0));
      if (!list) return Outcome::failure();
    }
    if (PyList_Append(list.get(), item.get()) < 0) return Outcome::failure();
  }
  if (!list) return Outcome::nothing();
  return list;
}

}  // namespace

Outcome translate_with_ctx(TSNode node, Ctx& ctx) {
  StackGuard::Level level(ctx.stack());
  const auto kind = static_cast<size_t>(ctx.kind(node));
  if (kSkipTable[kind]) return Outcome::nothing();
  if (Handler handler = kHandlerTable[kind]) {
    return handler(node, ctx, line_of(node));
  }
  return translate_default(node, ctx);
}

// program, declaration_list: a list of their items (never nothing), with a
// short-echo flag of their own.
Outcome translate_program(TSNode node, Ctx& ctx, uint64_t) {
  return translate_program_children(node, ctx);
}

// `($a)`, `$a;`: the translation of the expression inside, unchanged.
Outcome translate_first_operand(TSNode node, Ctx& ctx, uint64_t) {
  return try_translate_child(named_child(node, 0, ctx), ctx);
}

// Inline text below the program level, as in `if ($a): ?> <b>x</b> <?php
// endif;` -> InlineHTML("<b>x</b>"): the text without its tags and the white
// space around them. There is no short-echo flag down here.
Outcome translate_nested_inline_text(TSNode node, Ctx& ctx, uint64_t lineno) {
  std::string_view data = trim(text_of(node, ctx));
  for (std::string_view tag : {"?>", "<?=", "<?php", "<?"}) {
    data = strip_repeated(data, tag);
  }
  data = trim(data);
  if (data.empty() || data == "?>" || data == "<?" || data == "<?=" ||
      data == "<?php") {
    return Outcome::nothing();
  }
  return ast::make(ast::NodeClass::InlineHTML, lineno, make_str(data));
}

}  // namespace zarnu::translate
