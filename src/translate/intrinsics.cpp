// The language constructs with an operand of their own (clone, print,
// include and require, yield, exit) and the match expression with its arms.
// The calls written like functions (isset, empty, eval, exit(...) and
// die(...)) are function calls to the grammar and live with the calls.
#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// clone $a -> Clone(Variable("$a"))
Outcome translate_clone(TSNode node, Ctx& ctx, uint64_t lineno) {
  return ast::make(NodeClass::Clone, lineno, first_child_or_none(node, ctx));
}

// print $a -> Print(Variable("$a"))
Outcome translate_print(TSNode node, Ctx& ctx, uint64_t lineno) {
  return ast::make(NodeClass::Print, lineno, first_child_or_none(node, ctx));
}

// include $f      -> Include(Variable("$f"), False)
// require_once $f -> Require(Variable("$f"), True)
Outcome translate_include(TSNode node, Ctx& ctx, uint64_t lineno) {
  const Kind kind = ctx.kind(node);
  const bool include =
      kind == Kind::IncludeExpression || kind == Kind::IncludeOnceExpression;
  const bool once =
      kind == Kind::IncludeOnceExpression || kind == Kind::RequireOnceExpression;
  return ast::make(include ? NodeClass::Include : NodeClass::Require, lineno,
                   first_child_or_none(node, ctx), Ref::boolean(once));
}

// yield            -> Yield(None)
// yield $v         -> Yield(Variable("$v"))
// yield from $v    -> Yield(Variable("$v"))
// yield $k => $v   -> Yield(Variable("$v"))
// The keywords are tokens, so `yield from` reads as `yield`; a keyed yield
// is a lone array element, which stands for its value alone.
Outcome translate_yield(TSNode node, Ctx& ctx, uint64_t lineno) {
  return ast::make(NodeClass::Yield, lineno, first_child_or_none(node, ctx));
}

// exit;  exit();  EXIT(2);  -> Exit(None, "exit"), Exit(None, "exit"), Exit(2, "exit")
// The grammar makes this statement of the `exit` keyword only; `die` is a
// name or a call. The keyword decides the type all the same, should that
// ever change.
Outcome translate_exit_statement(TSNode node, Ctx& ctx, uint64_t lineno) {
  Children keyword(node, ctx);
  const bool die = keyword.next() && !ts_node_is_named(keyword.node()) &&
                   lowercase(text_of(keyword.node(), ctx)) == "die";
  return ast::make(NodeClass::Exit, lineno, first_child_or_none(node, ctx),
                   ctx.str(die ? "die" : "exit"));
}

// match ($x) { 1 => $a, default => $b }
//   -> MatchExpr(Variable("$x"), [MatchArm(1, Variable("$a")), MatchArm(None, Variable("$b"))])
// An arm that cannot be built costs the match all of its arms, not the
// whole expression.
Outcome translate_match(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref condition = field_or_none(node, Field::Condition, ctx);
  Outcome arms = translate_child(ctx.field(node, Field::Body), ctx);
  Ref arm_list = arms.has_value() ? std::move(arms).take()
                                  : Ref::steal(PyList_New(0));
  if (!arm_list) return Outcome::failure();
  return ast::make(NodeClass::MatchExpr, lineno, std::move(condition),
                   std::move(arm_list));
}

// { 1 => $a, default => $b } -> [MatchArm(...), MatchArm(...)]
Outcome translate_match_block(TSNode node, Ctx& ctx, uint64_t) {
  return try_translate_named_children(node, ctx);
}

// 1, 2 => $a -> MatchArm([1, 2], Variable("$a"))
// 1 => $a    -> MatchArm(1, Variable("$a"))
// One condition stands alone; two or more, or none that gives a value, are
// a list.
Outcome translate_match_arm(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode conditions = ctx.field(node, Field::ConditionalExpressions);
  Ref pattern = Ref::none();
  if (!ts_node_is_null(conditions)) {
    pattern = try_translate_named_children(conditions, ctx);
    if (!pattern) return Outcome::failure();
    if (PyList_GET_SIZE(pattern.get()) == 1) {
      pattern = Ref::borrow(PyList_GET_ITEM(pattern.get(), 0));
    }
  }
  return ast::make(NodeClass::MatchArm, lineno, std::move(pattern),
                   field_or_none(node, Field::ReturnExpression, ctx));
}

// default => $b -> MatchArm(None, Variable("$b"))
Outcome translate_match_default(TSNode node, Ctx& ctx, uint64_t lineno) {
  return ast::make(NodeClass::MatchArm, lineno, Ref::none(),
                   field_or_none(node, Field::ReturnExpression, ctx));
}

constexpr HandlerEntry kHandlers[] = {
    {Kind::CloneExpression, translate_clone},
    {Kind::PrintIntrinsic, translate_print},
    {Kind::IncludeExpression, translate_include},
    {Kind::IncludeOnceExpression, translate_include},
    {Kind::RequireExpression, translate_include},
    {Kind::RequireOnceExpression, translate_include},
    {Kind::YieldExpression, translate_yield},
    {Kind::ExitStatement, translate_exit_statement},
    {Kind::MatchExpression, translate_match},
    {Kind::MatchBlock, translate_match_block},
    {Kind::MatchConditionalExpression, translate_match_arm},
    {Kind::MatchDefaultExpression, translate_match_default},
};

}  // namespace

HandlerList intrinsic_handlers() { return kHandlers; }

}  // namespace zarnu::translate
