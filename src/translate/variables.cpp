// Variables: `$a`, and the computed names `$$a`, `${a}` and `${expr}`.
#include <string>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

Outcome dv_translate(TSNode node, Ctx& ctx);

Ref dollar_name(TSNode name, const Ctx& ctx) {
  std::string text = "$";
  text += text_of(name, ctx);
  return ctx.str(text);
}

// The object operand of an access inside `${...}`; None when it is missing
// or gives no value.
Ref dv_operand(TSNode node, Ctx& ctx) {
  if (ts_node_is_null(node)) return Ref::none();
  Outcome operand = dv_translate(node, ctx);
  if (operand.failed()) return discard_error().take_or_none();
  return std::move(operand).take_or_none();
}

// The index of `$a[K]` inside `${...}`: a constant index stands as its name,
// a magic constant keeps its value.
Ref dv_index(TSNode subscript, Ctx& ctx) {
  const TSNode index = named_child(subscript, 1, ctx);
  if (ts_node_is_null(index)) return Ref::none();
  Ref value = child_or_none(index, ctx);
  if (!is_name_node(index, ctx) ||
      ast::is_instance(value.get(), NodeClass::MagicConstant)) {
    return value;
  }
  return name_or_self(std::move(value));
}

// The operand of `${...}`: accesses keep their member names as raw text.
//   ${a}          -> Variable("$a")
//   ${$a[K]}      -> ArrayOffset(Variable("$a"), "K")
//   ${$o->m(1)}   -> MethodCall(Variable("$o"), "m", [1])
//   ${$o->p}      -> ObjectProperty(Variable("$o"), "p")
//   ${f()}        -> FunctionCall("f", [])
//   ${A::B}       -> StaticProperty("A", "B")
//   ${A::$b}      -> StaticProperty("A", Variable("$b"))
//   ${anything}   -> its ordinary translation
Outcome dv_translate(TSNode node, Ctx& ctx) {
  StackGuard::Level level(ctx.stack());
  const uint64_t lineno = line_of(node);
  switch (ctx.kind(node)) {
    case Kind::Name:
      return ast::make(NodeClass::Variable, lineno, dollar_name(node, ctx));
    case Kind::SubscriptExpression: {
      Ref object = dv_operand(named_child(node, 0, ctx), ctx);
      Ref index = dv_index(node, ctx);
      return ast::make(NodeClass::ArrayOffset, lineno, std::move(object),
                       std::move(index));
    }
    case Kind::MemberCallExpression: {
      Ref object = dv_operand(ctx.field(node, Field::Object), ctx);
      Ref arguments = translate_named_children(ctx.field(node, Field::Arguments), ctx);
      if (!arguments) return Outcome::failure();
      return ast::make(NodeClass::MethodCall, lineno, std::move(object),
                       ctx.str(field_text(node, Field::Name, ctx)),
                       std::move(arguments));
    }
    case Kind::MemberAccessExpression: {
      Ref object = dv_operand(ctx.field(node, Field::Object), ctx);
      return ast::make(NodeClass::ObjectProperty, lineno, std::move(object),
                       ctx.str(field_text(node, Field::Name, ctx)));
    }
    case Kind::FunctionCallExpression: {
      Ref arguments = translate_named_children(ctx.field(node, Field::Arguments), ctx);
      if (!arguments) return Outcome::failure();
      return ast::make(NodeClass::FunctionCall, lineno,
                       ctx.str(field_text(node, Field::Function, ctx)),
                       std::move(arguments));
    }
    case Kind::ClassConstantAccessExpression: {
      Ref scope = text_or_empty(named_child(node, 0, ctx), ctx);
      if (!scope) return Outcome::failure();
      return ast::make(NodeClass::StaticProperty, lineno, std::move(scope),
                       text_or_empty(named_child(node, 1, ctx), ctx));
    }
    case Kind::ScopedPropertyAccessExpression: {
      const TSNode name = ctx.field(node, Field::Name);
      Ref member;
      if (!ts_node_is_null(name) && ctx.kind(name) == Kind::VariableName) {
        member = child_or_none(name, ctx);
      } else {
        member = text_or_empty(name, ctx);
        if (!member) return Outcome::failure();
      }
      return ast::make(NodeClass::StaticProperty, lineno,
                       ctx.str(field_text(node, Field::Scope, ctx)),
                       std::move(member));
    }
    default:
      return translate_with_ctx(node, ctx);
  }
}

}  // namespace

// $a, $this -> Variable("$a")
Outcome translate_variable_name(TSNode node, Ctx& ctx, uint64_t lineno) {
  return ast::make(NodeClass::Variable, lineno, text_str(node, ctx));
}

// $$a      -> Variable(Variable("$a"))
// ${a}     -> Variable("$a")
// ${expr}  -> Variable(operand of dv_translate)
// Inside a string the same: PHP reads "${$a}" as $$a and "${'k'}" as $k, so
// dropping the Variable around the operand would lose the indirection.
Outcome translate_dynamic_variable_name(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode inner = named_child(node, 0, ctx);
  if (ts_node_is_null(inner)) return Outcome::nothing();
  Outcome value = Outcome::nothing();
  switch (ctx.kind(inner)) {
    case Kind::Name:
      return ast::make(NodeClass::Variable, lineno, dollar_name(inner, ctx));
    case Kind::DynamicVariableName:
    case Kind::VariableName:
      value = translate_with_ctx(inner, ctx);
      break;
    default:
      value = dv_translate(inner, ctx);
      break;
  }
  if (value.failed()) return value;
  return ast::make(NodeClass::Variable, lineno, std::move(value).take_or_none());
}

}  // namespace zarnu::translate
