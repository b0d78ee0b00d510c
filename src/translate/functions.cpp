// Callables and their parameters: named functions, methods, closures, arrow
// functions, plain and promoted parameters. Named functions and methods
// change the context's function (and method) name while their parts are
// translated; closures and arrow functions see the enclosing one.
#include <string_view>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// The statements of a function or method body: a Block's list, None when
// there is no body or it gives nothing.
Ref body_statements(TSNode node, Ctx& ctx) {
  return unwrap_block_body(field_or_none(node, Field::Body, ctx));
}

// `function f() use (...)`'s `$x` and `&$y`, appended to `vars`.
bool append_lexical_variables(TSNode clause, Ctx& ctx, PyObject* vars) {
  for (Children child(clause, ctx); child.next();) {
    const TSNode current = child.node();
    Ref variable;
    switch (ctx.kind(current)) {
      case Kind::VariableName:
        variable = ast::make(NodeClass::LexicalVariable, line_of(current),
                             text_str(current, ctx), Ref::boolean(false));
        break;
      case Kind::ByRef:
        variable = ast::make(NodeClass::LexicalVariable, line_of(current),
                             text_or_empty(named_child(current, 0, ctx), ctx),
                             Ref::boolean(true));
        break;
      default:
        continue;
    }
    if (!variable || PyList_Append(vars, variable.get()) < 0) return false;
  }
  return true;
}

// function &f(int $a = 1, ...$c): ?int { ... }
//   -> Function("f", [FormalParameter(...), [Variable("$c")]], [...], True, "?int")
// A `&` before the name is recorded, as it is for closures and arrow
// functions: the field exists to say so.
Outcome translate_function_definition(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref params;
  Ref nodes;
  {
    auto function = ctx.enter_function(field_text(node, Field::Name, ctx));
    params = translate_named_children(ctx.field(node, Field::Parameters), ctx);
    if (!params) return Outcome::failure();
    nodes = body_statements(node, ctx);
  }
  return ast::make(NodeClass::Function, lineno,
                   ctx.str(field_text(node, Field::Name, ctx)), std::move(params),
                   std::move(nodes), Ref::boolean(has_reference_modifier(node, ctx)),
                   field_text_or_none(node, Field::ReturnType, ctx));
}

// final public static function &m($a) { ... }
//   -> Method("m", ["final", "public", "static"], [...], [...], True)
// The visibility keeps its case as written, the other words are fixed.
Outcome translate_method_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref modifiers = Ref::steal(PyList_New(0));
  if (!modifiers) return Outcome::failure();
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    switch (ctx.kind(current)) {
      case Kind::FinalModifier:
        append_word(modifiers.get(), ctx.str("final"));
        break;
      case Kind::StaticModifier:
        append_word(modifiers.get(), ctx.str("static"));
        break;
      case Kind::AbstractModifier:
        append_word(modifiers.get(), ctx.str("abstract"));
        break;
      case Kind::VisibilityModifier:
        append_word(modifiers.get(), trimmed_str(current, ctx));
        break;
      default:
        break;
    }
  }
  const std::string_view name = field_text(node, Field::Name, ctx);
  auto method = ctx.enter_method(name);
  Ref params = translate_named_children(ctx.field(node, Field::Parameters), ctx);
  if (!params) return Outcome::failure();
  Ref nodes = body_statements(node, ctx);
  // An abstract or interface method has a body of no statements.
  if (nodes.get() == Py_None) nodes = Ref::steal(PyList_New(0));
  return ast::make(NodeClass::Method, lineno, ctx.str(name), std::move(modifiers),
                   std::move(params), std::move(nodes),
                   Ref::boolean(has_reference_modifier(node, ctx)));
}

// function &($a) use ($x, &$y) { ... }
//   -> Closure([FormalParameter("$a", ...)], [LexicalVariable("$x", False),
//              LexicalVariable("$y", True)], [...], True)
// Unlike a named function, any failure inside a closure fails it whole.
Outcome translate_anonymous_function(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref params = Ref::steal(PyList_New(0));
  Ref vars = Ref::steal(PyList_New(0));
  Ref nodes = Ref::steal(PyList_New(0));
  if (!params || !vars || !nodes) return Outcome::failure();
  bool is_ref = false;
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    switch (ctx.kind(current)) {
      case Kind::ReferenceModifier:
        if (ts_node_is_named(current)) is_ref = true;
        break;
      case Kind::FormalParameters:
        params = try_translate_named_children(current, ctx);
        if (!params) return Outcome::failure();
        break;
      case Kind::AnonymousFunctionUseClause:
        if (!append_lexical_variables(current, ctx, vars.get())) {
          return Outcome::failure();
        }
        break;
      case Kind::CompoundStatement: {
        Outcome body = translate_with_ctx(current, ctx);
        if (body.failed()) return body;
        if (body.is_nothing()) break;
        Ref statements = unwrap_block_body(std::move(body).take());
        if (PyList_Check(statements.get())) {
          nodes = std::move(statements);
        } else if (PyList_Append(nodes.get(), statements.get()) < 0) {
          return Outcome::failure();
        }
        break;
      }
      default:
        break;
    }
  }
  return ast::make(NodeClass::Closure, lineno, std::move(params), std::move(vars),
                   std::move(nodes), Ref::boolean(is_ref));
}

// fn &(int $x): int => $x * 2
//   -> ArrowFunction([FormalParameter("$x", None, False, "int")], "int", BinaryOp(...), True)
Outcome translate_arrow_function(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref params = Ref::steal(PyList_New(0));
  if (!params) return Outcome::failure();
  bool is_ref = false;
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    const Kind kind = ctx.kind(current);
    if (kind == Kind::ReferenceModifier) {
      is_ref = true;
    } else if (kind == Kind::FormalParameters) {
      params = translate_named_children(current, ctx);
      if (!params) return Outcome::failure();
    }
  }
  return ast::make(NodeClass::ArrowFunction, lineno, std::move(params),
                   field_text_or_none(node, Field::ReturnType, ctx),
                   field_or_none(node, Field::Body, ctx), Ref::boolean(is_ref));
}

// ?int &$a = 1 -> FormalParameter("$a", 1, True, "?int")
Outcome translate_simple_parameter(TSNode node, Ctx& ctx, uint64_t lineno) {
  return ast::make(NodeClass::FormalParameter, lineno,
                   ctx.str(field_text(node, Field::Name, ctx)),
                   field_or_none(node, Field::DefaultValue, ctx),
                   Ref::boolean(has_reference_modifier(node, ctx)),
                   field_text_or_none(node, Field::Type, ctx));
}

// private readonly int $x = 0 -> ConstructorParameter(["private"], "$x", "int", 0)
// public &$y                  -> ConstructorParameter(["public"], "$y", None, None)
// The variable of a by-reference parameter sits inside its by_ref node; its
// name is read from there, though the node has no place for the `&` itself.
Outcome translate_property_promotion_parameter(TSNode node, Ctx& ctx,
                                               uint64_t lineno) {
  Ref modifiers = Ref::steal(PyList_New(0));
  if (!modifiers) return Outcome::failure();
  std::string_view name;
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    switch (ctx.kind(current)) {
      case Kind::VisibilityModifier:
        append_word(modifiers.get(), trimmed_str(current, ctx));
        break;
      case Kind::VariableName:
        name = text_of(current, ctx);
        break;
      case Kind::ByRef: {
        const TSNode inner = named_child(current, 0, ctx);
        if (!ts_node_is_null(inner) && ctx.kind(inner) == Kind::VariableName) {
          name = text_of(inner, ctx);
        }
        break;
      }
      default:
        break;
    }
  }
  return ast::make(NodeClass::ConstructorParameter, lineno, std::move(modifiers),
                   ctx.str(name), field_text_or_none(node, Field::Type, ctx),
                   field_or_none(node, Field::DefaultValue, ctx));
}

constexpr HandlerEntry kFunctionHandlers[] = {
    {Kind::FunctionDefinition, translate_function_definition},
    {Kind::MethodDeclaration, translate_method_declaration},
    {Kind::AnonymousFunction, translate_anonymous_function},
    {Kind::ArrowFunction, translate_arrow_function},
    {Kind::SimpleParameter, translate_simple_parameter},
    {Kind::PropertyPromotionParameter, translate_property_promotion_parameter},
};

}  // namespace

HandlerList function_handlers() { return kFunctionHandlers; }

}  // namespace zarnu::translate
