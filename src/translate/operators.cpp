// Operator expressions: assignments and the list literals they destructure
// into, binary and unary operators, increments, the conditional operator,
// casts and error suppression. Operands are translated softly: an operand
// that fails or gives nothing is None, and the expression around it stands.
#include <string>
#include <vector>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// The operator tokens of an expression: its anonymous children, in order.
// Comments and error nodes are named, so they never become part of it.
std::string operator_tokens(TSNode node, const Ctx& ctx) {
  std::string text;
  for (Children child(node, ctx); child.next();) {
    if (!ts_node_is_named(child.node())) text += text_of(child.node(), ctx);
  }
  return text;
}

// The operator of an assignment: the tokens between its two sides, trimmed;
// "" when a side is missing. Only tokens count, so that `$a = /* c */ 1`
// stays a plain assignment rather than reading its comment as an operator.
std::string assignment_operator(TSNode node, TSNode left, TSNode right,
                                const Ctx& ctx) {
  if (ts_node_is_null(left) || ts_node_is_null(right)) return {};
  const uint32_t from = ts_node_end_byte(left);
  const uint32_t to = ts_node_start_byte(right);
  std::string text;
  for (Children child(node, ctx); child.next();) {
    const TSNode token = child.node();
    if (ts_node_is_named(token)) continue;
    if (ts_node_start_byte(token) >= from && ts_node_end_byte(token) <= to) {
      text += text_of(token, ctx);
    }
  }
  return std::string(trim(text));
}

// One binary_expression from its translated operands:
//   $a + $b      -> BinaryOp("+", Variable("$a"), Variable("$b"))
//   $a AND $b    -> BinaryOp("and", ...)    (word operators lowercased)
//   $x |> f(...) -> Pipe(Variable("$x"), ...)
Ref binary_node(TSNode node, const Ctx& ctx, Ref left, Ref right) {
  const uint64_t lineno = line_of(node);
  const std::string tokens = operator_tokens(node, ctx);
  const std::string_view op = trim(tokens);
  if (op == "|>") {
    return ast::make(NodeClass::Pipe, lineno, std::move(left), std::move(right));
  }
  return ast::make(NodeClass::BinaryOp, lineno, ctx.str(lowercase(op)),
                   std::move(left), std::move(right));
}

// A value equal to `value` that, for a node or a list, is a new object: a
// node of the same class and line over the same field values, or a list of
// the same items. Nodes never change, so the two may share their children.
// Plain values (str, int, float, None) stand for themselves. New reference,
// or NULL with the exception set.
Ref twin(PyObject* value) {
  if (PyList_Check(value)) {
    return Ref::steal(PyList_GetSlice(value, 0, PY_SSIZE_T_MAX));
  }
  return ast::copy_node(value);
}

// Cast words that the result spells another way; any other word is kept,
// lowercased.
struct CastWord {
  std::string_view written;
  std::string_view type;
};
constexpr CastWord kCastWords[] = {
    {"boolean", "bool"},
    {"real", "double"},
    {"float", "double"},
    {"integer", "int"},
};

// The cast's type word, lowercased and normalised; "" without one.
std::string cast_type(TSNode node, const Ctx& ctx) {
  const TSNode type = first_child_of_kind(node, Kind::CastType, ctx);
  if (ts_node_is_null(type)) return {};
  std::string word = lowercase(text_of(type, ctx));
  for (const CastWord& entry : kCastWords) {
    if (word == entry.written) return std::string(entry.type);
  }
  return word;
}

// $a = 1         -> Assignment(Variable("$a"), 1, False)
// $a .= $b       -> AssignOp(".=", Variable("$a"), Variable("$b"))
// [$a, $b] = $c  -> ListAssignment([Variable("$a"), Variable("$b")], Variable("$c"))
// Plain and augmented assignments share this: the left side and the operator
// decide the class, not the kind. An operator lost to a syntax error reads as
// "=" in an AssignOp.
Outcome translate_assignment(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode left = ctx.field(node, Field::Left);
  const TSNode right = ctx.field(node, Field::Right);
  Ref target = child_or_none(left, ctx);
  Ref value = child_or_none(right, ctx);
  if (!ts_node_is_null(left) && ctx.kind(left) == Kind::ListLiteral) {
    return ast::make(NodeClass::ListAssignment, lineno, std::move(target),
                     std::move(value));
  }
  std::string op = assignment_operator(node, left, right, ctx);
  if (op == "=") {
    return ast::make(NodeClass::Assignment, lineno, std::move(target),
                     std::move(value), Ref::boolean(false));
  }
  if (!op.ends_with('=')) op += '=';
  return ast::make(NodeClass::AssignOp, lineno, ctx.str(op), std::move(target),
                   std::move(value));
}

// $a = &$b -> Assignment(Variable("$a"), Variable("$b"), True); a list on
// the left makes no ListAssignment here.
Outcome translate_reference_assignment(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref target = child_or_none(named_child(node, 0, ctx), ctx);
  Ref value = child_or_none(named_child(node, 1, ctx), ctx);
  return ast::make(NodeClass::Assignment, lineno, std::move(target),
                   std::move(value), Ref::boolean(true));
}

// list($a, 'k' => $b, [$c]) -> [Variable("$a"), "k", Variable("$b"), [Variable("$c")]]
// The grammar gives `key => target` no node of its own, so key and target
// are two items. Unlike the operands elsewhere, an element's failure fails
// the list.
Outcome translate_list_literal(TSNode node, Ctx& ctx, uint64_t) {
  Ref items = Ref::steal(PyList_New(0));
  if (!items) return Outcome::failure();
  // `list(, $b)` assigns the second element: a skipped slot must keep its
  // place, or it would read as `list($b)`. A trailing empty slot skips
  // nothing and leaves no item.
  bool slot_taken = false;
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    if (!ts_node_is_named(current)) {
      if (text_of(current, ctx) != ",") continue;
      if (!slot_taken && PyList_Append(items.get(), Py_None) < 0) {
        return Outcome::failure();
      }
      slot_taken = false;
    } else if (!is_comment(current, ctx)) {
      slot_taken = true;
      if (!append_item(items.get(), translate_with_ctx(current, ctx))) {
        return Outcome::failure();
      }
    }
  }
  return items;
}

// $a . $b . $c -> BinaryOp(".", BinaryOp(".", Variable("$a"), Variable("$b")), Variable("$c"))
// Left-deep chains, as long concatenations make them, are folded in a loop
// instead of one recursion per operator, so that their length is bounded by
// memory and not by the native stack. The operands are translated in source
// order, as the recursion would, and an inner link that cannot be built is
// None in the link above it, as a failed operand is.
Outcome translate_binary(TSNode node, Ctx& ctx, uint64_t) {
  std::vector<TSNode> chain{node};
  TSNode left = ctx.field(node, Field::Left);
  while (!ts_node_is_null(left) && ctx.kind(left) == Kind::BinaryExpression) {
    chain.push_back(left);
    left = ctx.field(left, Field::Left);
  }
  Ref value = child_or_none(left, ctx);
  for (size_t i = chain.size(); i-- > 0;) {
    const TSNode link = chain[i];
    Ref right = field_or_none(link, Field::Right, ctx);
    value = binary_node(link, ctx, std::move(value), std::move(right));
    if (value) continue;
    if (i == 0) return Outcome::failure();
    PyErr_Clear();
    value = Ref::none();
  }
  return value;
}

// -$a, !$a, ~$a, +$a -> UnaryOp(operator as written, Variable("$a"))
Outcome translate_unary(TSNode node, Ctx& ctx, uint64_t lineno) {
  Children first(node, ctx);
  Ref op = ctx.str(first.next() ? trim(text_of(first.node(), ctx))
                                 : std::string_view());
  Ref expr = first_child_or_none(node, ctx);
  return ast::make(NodeClass::UnaryOp, lineno, std::move(op), std::move(expr));
}

// $i++ -> PostIncDecOp("++", Variable("$i"))
// --$i -> PreIncDecOp("--", Variable("$i"))
Outcome translate_update(TSNode node, Ctx& ctx, uint64_t lineno) {
  Children first(node, ctx);
  const bool postfix = first.next() && ts_node_is_named(first.node());
  Ref op = ctx.str(operator_tokens(node, ctx));
  Ref expr = first_child_or_none(node, ctx);
  return ast::make(postfix ? NodeClass::PostIncDecOp : NodeClass::PreIncDecOp,
                   lineno, std::move(op), std::move(expr));
}

// $c ? $a : $b -> TernaryOp(Variable("$c"), Variable("$a"), Variable("$b"))
// $c ?: $b     -> TernaryOp(Variable("$c"), Variable("$c"), Variable("$b"))
// In the short form `iftrue` is a twin of the condition, equal to it but not
// the same object. It is not translated a second time: in a chain
// `$a ?: $b ?: $c ...` every condition holds the chain before it, and
// translating each twice would double the work with every link.
Outcome translate_conditional(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref condition = field_or_none(node, Field::Condition, ctx);
  Outcome body = translate_child(ctx.field(node, Field::Body), ctx);
  Ref alternative = field_or_none(node, Field::Alternative, ctx);
  Ref iftrue =
      or_none(body.has_value() ? std::move(body).take() : twin(condition.get()));
  return ast::make(NodeClass::TernaryOp, lineno, std::move(condition),
                   std::move(iftrue), std::move(alternative));
}

// (int) $a, (INTEGER) $a -> Cast("int", Variable("$a"))
// (real) $a, (float) $a  -> Cast("double", Variable("$a"))
Outcome translate_cast(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref type = ctx.str(cast_type(node, ctx));
  Ref expr = child_or_none(last_named_child(node, ctx), ctx);
  return ast::make(NodeClass::Cast, lineno, std::move(type), std::move(expr));
}

// @f() -> Silence(FunctionCall("f", []))
Outcome translate_silence(TSNode node, Ctx& ctx, uint64_t lineno) {
  return ast::make(NodeClass::Silence, lineno, first_child_or_none(node, ctx));
}

constexpr HandlerEntry kHandlers[] = {
    {Kind::AssignmentExpression, translate_assignment},
    {Kind::AugmentedAssignmentExpression, translate_assignment},
    {Kind::ReferenceAssignmentExpression, translate_reference_assignment},
    {Kind::ListLiteral, translate_list_literal},
    {Kind::BinaryExpression, translate_binary},
    {Kind::UnaryOpExpression, translate_unary},
    {Kind::UpdateExpression, translate_update},
    {Kind::ConditionalExpression, translate_conditional},
    {Kind::CastExpression, translate_cast},
    {Kind::ErrorSuppressionExpression, translate_silence},
};

}  // namespace

HandlerList operator_handlers() { return kHandlers; }

}  // namespace zarnu::translate
