// Names in expression position, and literals: constants, magic constants,
// the class words, bare die/exit, booleans, null and numbers.
#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/numbers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// `__LINE__`, `__CLASS__`, `__TRAIT__`: two underscores at both ends around
// capitals and underscores only.
bool is_magic_name(std::string_view text) {
  return text.size() > 2 && text.starts_with("__") && text.ends_with("__") &&
         is_upper_snake(text);
}

}  // namespace

// FOO, \App\FOO, namespace\FOO  -> Constant(name as written)
// __LINE__                      -> MagicConstant("__LINE__", line number)
// __CLASS__, __DIR__, ...       -> MagicConstant(name, value from the context or None)
// self, STATIC, Parent          -> "self", "static", "parent"
// die, exit (as values)         -> Exit(None, "die"), Exit(None, "exit")
Outcome translate_name(TSNode node, Ctx& ctx, uint64_t lineno) {
  const std::string_view text = text_of(node, ctx);
  const std::string lower = lowercase(text);
  // `f() or exit;` is as much an exit as `f() or die;`.
  if (lower == "die" || lower == "exit") {
    return ast::make(NodeClass::Exit, lineno, Ref::none(), ctx.str(lower));
  }
  if (lower == "self" || lower == "static" || lower == "parent") {
    return ctx.str(lower);
  }
  if (is_magic_name(text)) {
    Ref value;
    if (text == "__LINE__") {
      value = Ref::steal(PyLong_FromUnsignedLongLong(lineno));
    } else {
      const Text resolved = ctx.resolve_magic(text);
      value = resolved ? ctx.str(*resolved) : Ref::none();
    }
    return ast::make(NodeClass::MagicConstant, lineno, ctx.str(text),
                     std::move(value));
  }
  return ast::make(NodeClass::Constant, lineno, ctx.str(text));
}

// true, FALSE, null -> Constant(word as written), as a constant name gives:
// `return null;` must not read as `return;`.
Outcome translate_literal_constant(TSNode node, Ctx& ctx, uint64_t lineno) {
  return ast::make(NodeClass::Constant, lineno, text_str(node, ctx));
}

// 42, 0x1F, 0b101, 0o17, 017, 1_000 -> int; 0xFFFFFFFFFFFFFFFF -> float
Outcome translate_integer(TSNode node, Ctx& ctx, uint64_t) {
  return integer_value(text_of(node, ctx));
}

// 1.5, .5, 1e3, 1_000.5 -> float
Outcome translate_float(TSNode node, Ctx& ctx, uint64_t) {
  return float_value(text_of(node, ctx));
}

}  // namespace zarnu::translate
