// Statements without a control structure of their own (echo, return, throw,
// break, continue, global, static, unset) and the statement blocks that
// control-flow statements and declarations take as their bodies.
#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// The statement's one operand. A comment before it does not take its place,
// and an operand that fails to translate leaves None.
Outcome translate_operand_statement(NodeClass cls, TSNode node, Ctx& ctx,
                                    uint64_t lineno) {
  Ref operand = first_child_or_none(node, ctx);
  return ast::make(cls, lineno, std::move(operand));
}

// return $a; -> Return(Variable("$a"))    return; -> Return(None)
Outcome translate_return(TSNode node, Ctx& ctx, uint64_t lineno) {
  return translate_operand_statement(NodeClass::Return, node, ctx, lineno);
}

// throw $e -> Throw(Variable("$e"))
Outcome translate_throw(TSNode node, Ctx& ctx, uint64_t lineno) {
  return translate_operand_statement(NodeClass::Throw, node, ctx, lineno);
}

// break 2; -> Break(2)    break; -> Break(None)
Outcome translate_break(TSNode node, Ctx& ctx, uint64_t lineno) {
  return translate_operand_statement(NodeClass::Break, node, ctx, lineno);
}

// continue 2; -> Continue(2)    continue; -> Continue(None)
Outcome translate_continue(TSNode node, Ctx& ctx, uint64_t lineno) {
  return translate_operand_statement(NodeClass::Continue, node, ctx, lineno);
}

// echo $a, "b"; -> Echo([Variable("$a"), "b"])
// The grammar makes `$a, $b, $c` one sequence nested to the right; its
// operands stand in `nodes` side by side.
Outcome translate_echo(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref items = Ref::steal(PyList_New(0));
  if (!items) return Outcome::failure();
  for (Children child(node, ctx); child.next_named();) {
    const TSNode current = child.node();
    if (ctx.kind(current) == Kind::SequenceExpression) {
      Ref operands = translate_sequence(current, ctx);
      if (!operands || !append_spliced(items.get(), operands.get())) {
        return Outcome::failure();
      }
    } else if (!append_item(items.get(), translate_with_ctx(current, ctx))) {
      return Outcome::failure();
    }
  }
  return ast::make(NodeClass::Echo, lineno, std::move(items));
}

// global $a, $$b; -> Global([Variable("$a"), Variable(Variable("$b"))])
Outcome translate_global(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref items = Ref::steal(PyList_New(0));
  if (!items) return Outcome::failure();
  for (Children child(node, ctx); child.next_named();) {
    if (lowered_text(child.node(), ctx) == "global") continue;
    if (!append_item(items.get(), translate_with_ctx(child.node(), ctx))) {
      return Outcome::failure();
    }
  }
  return ast::make(NodeClass::Global, lineno, std::move(items));
}

// unset($a, $b); -> Unset([Variable("$a"), Variable("$b")])
Outcome translate_unset(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref items = try_translate_named_children(node, ctx);
  if (!items) return Outcome::failure();
  return ast::make(NodeClass::Unset, lineno, std::move(items));
}

// static $a = 0, $b; -> Static([StaticVariable("$a", 0), StaticVariable("$b", None)])
// A comment between the variables declares nothing.
Outcome translate_static(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref items = Ref::steal(PyList_New(0));
  if (!items) return Outcome::failure();
  for (Children child(node, ctx); child.next_named();) {
    const TSNode declaration = child.node();
    if (is_comment(declaration, ctx)) continue;
    Ref name_text = ctx.str(field_text(declaration, Field::Name, ctx));
    Ref initial = field_or_none(declaration, Field::Value, ctx);
    Ref variable = ast::make(NodeClass::StaticVariable, line_of(declaration),
                             std::move(name_text), std::move(initial));
    if (!variable || PyList_Append(items.get(), variable.get()) < 0) {
      return Outcome::failure();
    }
  }
  return ast::make(NodeClass::Static, lineno, std::move(items));
}

// { $a; $b; } and `: $a; $b;` up to an end keyword -> Block([Variable("$a"), Variable("$b")])
// In a template, `<?php if ($a): ?><b><?= $name ?></b><?php endif; ?>`, a
// "<?=" tag inside the block outputs the statement after it, as it does at
// the top level: that statement becomes Echo([...]).
Outcome translate_block(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref items = Ref::steal(PyList_New(0));
  if (!items) return Outcome::failure();
  bool short_echo = false;
  for (Children child(node, ctx); child.next_named();) {
    const TSNode current = child.node();
    Outcome item = translate_with_ctx(current, ctx);
    if (short_echo && item.has_value()) {
      short_echo = false;
      item = short_echo_of(std::move(item).take(), line_of(current));
    }
    if (ctx.kind(current) == Kind::TextInterpolation) {
      short_echo = ends_in_short_echo(current, ctx);
    }
    if (!append_statement(items.get(), item)) return Outcome::failure();
  }
  return ast::make(NodeClass::Block, lineno, fitted(std::move(items)));
}

constexpr HandlerEntry kStatementHandlers[] = {
    {Kind::EchoStatement, translate_echo},
    {Kind::ReturnStatement, translate_return},
    {Kind::ThrowExpression, translate_throw},
    {Kind::BreakStatement, translate_break},
    {Kind::ContinueStatement, translate_continue},
    {Kind::GlobalDeclaration, translate_global},
    {Kind::FunctionStaticDeclaration, translate_static},
    {Kind::UnsetStatement, translate_unset},
    {Kind::CompoundStatement, translate_block},
    {Kind::ColonBlock, translate_block},
};

}  // namespace

HandlerList statement_handlers() { return kStatementHandlers; }

}  // namespace zarnu::translate
