// The program-level walk: the root's children (and those of nested programs,
// declaration lists and namespace bodies) become a flat list of items. Text
// outside PHP tags becomes InlineHTML, and the item after a "<?=" tag is
// wrapped in Echo.
#include <optional>
#include <string_view>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/helpers.h"
#include "translate/text.h"
#include "translate/translate.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// Tokens that a program-level walk passes over.
bool is_passed_over(Kind kind) {
  switch (kind) {
    case Kind::OpenBrace:
    case Kind::CloseBrace:
    case Kind::Colon:
    case Kind::PhpEndTag:
    case Kind::EndifKeyword:
    case Kind::EndforKeyword:
    case Kind::EndwhileKeyword:
    case Kind::EndswitchKeyword:
    case Kind::EndforeachKeyword:
    case Kind::EnddeclareKeyword:
    case Kind::NamespaceKeyword:
    case Kind::NamespaceName:
      return true;
    default:
      return false;
  }
}

bool append(PyObject* list, Ref item) {
  return item && PyList_Append(list, item.get()) == 0;
}

bool translate_and_emit(TSNode node, Ctx& ctx, PyObject* list, bool& short_echo,
                        uint64_t lineno) {
  Outcome result = translate_with_ctx(node, ctx);
  if (result.failed()) return false;
  if (result.is_nothing()) return true;
  return emit_result(std::move(result).take(), list, short_echo, lineno);
}

// Text outside the tags at program level: `hello`, `<?php ... ?>tail`.
bool process_text(TSNode node, Ctx& ctx, PyObject* list, bool& short_echo) {
  const std::string_view data = text_of(node, ctx);
  if (data.empty()) return true;
  const uint64_t lineno = line_of(node);
  if (short_echo) {
    short_echo = false;
    return append(list, short_echo_of(make_str(data), lineno));
  }
  return append(list, ast::make(NodeClass::InlineHTML, lineno, make_str(data)));
}

// `?>text<?php`: the span from a closing tag to the next opening tag. Its
// text starts right after the closing tag, white space included, and is
// never wrapped in Echo; an opening "<?=" wraps the next sibling instead.
bool process_text_interpolation(TSNode node, Ctx& ctx, PyObject* list,
                                bool& short_echo) {
  const uint64_t lineno = line_of(node);
  std::optional<uint32_t> end_of_close_tag;
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    const Kind kind = ctx.kind(current);
    if (kind == Kind::PhpEndTag) {
      end_of_close_tag = ts_node_end_byte(current);
    } else if (kind == Kind::PhpTag) {
      short_echo = opens_short_echo(current, ctx);
    } else if (kind == Kind::Text) {
      const uint32_t start = end_of_close_tag.value_or(ts_node_start_byte(current));
      const uint32_t end = ts_node_end_byte(current);
      const std::string_view data = end > start && end <= ctx.source().size()
                                        ? source_slice(ctx, start, end)
                                        : text_of(current, ctx);
      if (data.empty()) continue;
      if (!append(list, ast::make(NodeClass::InlineHTML, lineno, make_str(data)))) {
        return false;
      }
    } else if (!is_passed_over(kind)) {
      if (!translate_and_emit(current, ctx, list, short_echo, lineno)) {
        return false;
      }
    }
  }
  return true;
}

// `__halt_compiler();` in any letter case. PHP compiles nothing of the file
// after it: the rest is data that the script reads from its own file.
bool halts_compiler(TSNode node, const Ctx& ctx) {
  if (ctx.kind(node) != Kind::ExpressionStatement) return false;
  const TSNode call = named_child(node, 0, ctx);
  if (ts_node_is_null(call) || ctx.kind(call) != Kind::FunctionCallExpression) {
    return false;
  }
  const TSNode name = ctx.field(call, Field::Function);
  constexpr std::string_view halt = "__halt_compiler";
  return !ts_node_is_null(name) && ctx.kind(name) == Kind::Name &&
         text_of(name, ctx).size() == halt.size() && lowered_text(name, ctx) == halt;
}

}  // namespace

bool process_program_child(TSNode node, Ctx& ctx, PyObject* list,
                           bool& short_echo) {
  switch (const Kind kind = ctx.kind(node)) {
    case Kind::PhpTag:
      short_echo = opens_short_echo(node, ctx);
      return true;
    case Kind::Text:
      return process_text(node, ctx, list, short_echo);
    case Kind::TextInterpolation:
      return process_text_interpolation(node, ctx, list, short_echo);
    default:
      if (is_passed_over(kind)) return true;
      return translate_and_emit(node, ctx, list, short_echo, line_of(node));
  }
}

bool emit_result(Ref value, PyObject* list, bool& short_echo, uint64_t lineno) {
  if (short_echo) {
    short_echo = false;
    return append(list, short_echo_of(std::move(value), lineno));
  }
  return append_spliced(list, value.get());
}

Ref translate_program_children(TSNode node, Ctx& ctx) {
  Ref list = Ref::steal(PyList_New(0));
  if (!list) return list;
  bool short_echo = false;
  // Only the file's own top level honours `__halt_compiler();`, as in PHP.
  const bool file_level = ctx.kind(node) == Kind::Program;
  for (Children child(node, ctx); child.next();) {
    if (!process_program_child(child.node(), ctx, list.get(), short_echo)) {
      return Ref();
    }
    if (file_level && halts_compiler(child.node(), ctx)) break;
  }
  return list;
}

Ref translate_root(TSNode root, const Grammar& grammar, std::string_view source,
                   std::optional<std::string> filename) {
  Ctx ctx(grammar, source, std::move(filename));
  try {
    return translate_program_children(root, ctx);
  } catch (const DepthExceeded&) {
    PyErr_SetString(PyExc_RecursionError,
                    "maximum recursion depth exceeded while translating PHP "
                    "source");
    return Ref();
  }
}

}  // namespace zarnu::translate
