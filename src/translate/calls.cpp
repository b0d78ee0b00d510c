// Calls and their arguments: function, method, nullsafe and static calls,
// the first-class callable `f(...)`, and the call forms of isset, empty,
// eval, exit and die, which PHP writes like calls but which are constructs.
#include <optional>
#include <string_view>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// An item of an intrinsic's argument list as the intrinsic holds it: a
// plain argument gives its operand, a named argument (or anything else)
// stays as it is. A new reference.
Ref unwrapped(PyObject* item) {
  if (ast::is_instance(item, NodeClass::Parameter)) {
    return Ref::borrow(ast::field(item, 0));
  }
  return Ref::borrow(item);
}

// The first argument, unwrapped; None when there is none.
Ref first_unwrapped(PyObject* params) {
  if (PyList_GET_SIZE(params) == 0) return Ref::none();
  return unwrapped(PyList_GET_ITEM(params, 0));
}

// isset($a, $b) -> IsSet([Variable("$a"), Variable("$b")])
// empty($a)     -> Empty(Variable("$a")), likewise eval
// exit(1)       -> Exit(1, "exit"), likewise die
// The callee is matched trimmed and lowercased, so ISSET($a) is an IsSet
// and \isset($a) a call. nullopt for every other callee.
std::optional<Outcome> translate_intrinsic_call(std::string_view callee,
                                                PyObject* params,
                                                uint64_t lineno) {
  if (callee == "isset") {
    const Py_ssize_t count = PyList_GET_SIZE(params);
    Ref nodes = Ref::steal(PyList_New(count));
    if (!nodes) return Outcome::failure();
    for (Py_ssize_t i = 0; i < count; ++i) {
      PyList_SET_ITEM(nodes.get(), i,
                      unwrapped(PyList_GET_ITEM(params, i)).release());
    }
    return ast::make(NodeClass::IsSet, lineno, std::move(nodes));
  }
  if (callee == "empty") {
    return ast::make(NodeClass::Empty, lineno, first_unwrapped(params));
  }
  if (callee == "eval") {
    return ast::make(NodeClass::Eval, lineno, first_unwrapped(params));
  }
  if (callee == "exit" || callee == "die") {
    return ast::make(NodeClass::Exit, lineno, first_unwrapped(params),
                     make_str(callee));
  }
  return std::nullopt;
}

// The last named child that is neither a comment nor `except`: the value of
// an argument, behind a "&", a "..." or a name and its colon. Null when
// there is none, as in the broken `f(x:)`. `by_ref` tells whether some
// child is a reference_modifier ("&"), read in the same walk.
TSNode argument_value(TSNode node, TSNode except, bool& by_ref, const Ctx& ctx) {
  TSNode value{};
  by_ref = false;
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    const Kind kind = ctx.kind(current);
    by_ref = by_ref || kind == Kind::ReferenceModifier;
    if (!ts_node_is_named(current) || kind == Kind::Comment || ts_node_eq(current, except)) {
      continue;
    }
    value = current;
  }
  return value;
}

// foo(1), $f(1), f(1)(2) -> FunctionCall(name, params)
// strlen(...), $f(...)   -> FirstClassCallable(name)
// isset(...), ...        -> the intrinsics above
// A callee written as a name gives that name as a str; any other callee
// gives its translation.
Outcome translate_function_call(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode callee_node = ctx.field(node, Field::Function);
  const bool has_callee = !ts_node_is_null(callee_node);
  const bool written_name = has_callee && is_name_node(callee_node, ctx);
  Ref callee = child_or_none(callee_node, ctx);
  const TSNode arguments = ctx.field(node, Field::Arguments);

  // Comes before the intrinsic names: `isset(...)` is a callable.
  if (!ts_node_is_null(arguments) && is_first_class_callable(arguments, ctx)) {
    if (written_name) callee = name_or_self(std::move(callee));
    return ast::make(NodeClass::FirstClassCallable, lineno, std::move(callee));
  }

  Ref params = translate_named_children(arguments, ctx);
  if (!params) return Outcome::failure();
  // The intrinsic names are at most five letters; a longer callee, such as
  // a whole closure, is not lowercased just to find that out.
  if (const std::string_view written =
          has_callee ? trim(text_of(callee_node, ctx)) : std::string_view();
      written.size() <= 5 && has_callee) {
    std::optional<Outcome> intrinsic =
        translate_intrinsic_call(lowercase(written), params.get(), lineno);
    if (intrinsic) return std::move(*intrinsic);
  }

  Ref name;
  if (!has_callee) {
    name = Ref::none();
  } else if (callee.get() == Py_None) {
    // A callee that gives nothing still names the call by its text.
    name = text_str(callee_node, ctx);
  } else if (written_name) {
    name = name_or_self(std::move(callee));
  } else {
    name = std::move(callee);
  }
  return ast::make(NodeClass::FunctionCall, lineno, std::move(name),
                   std::move(params));
}

// f($a), f(&$a), f(...$a) -> Parameter(Variable("$a"), is_ref)
// f(name: $a)             -> NamedArgument("name", Variable("$a"))
// A spread keeps the default translation of its `...$a`: the one-item list
// [Variable("$a")], which tells it from a plain argument.
Outcome translate_argument(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode name = ctx.field(node, Field::Name);
  bool by_ref = false;
  Ref value = child_or_none(argument_value(node, name, by_ref, ctx), ctx);
  if (!ts_node_is_null(name)) {
    return ast::make(NodeClass::NamedArgument, lineno, text_str(name, ctx),
                     std::move(value));
  }
  // Only the grammar's "&" makes an argument by-reference: the "&" of
  // `$a && $b` or of a string '&' does not.
  return ast::make(NodeClass::Parameter, lineno, std::move(value),
                   Ref::boolean(by_ref));
}

// $o->m(1), $o->$m() -> MethodCall(object, name, params)
// `$o->m(...)` has no callable form of its own: the placeholder gives no
// argument.
Outcome translate_method_call(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref object = field_or_none(node, Field::Object, ctx);
  Ref name = member_name(node, ctx);
  if (!name) return Outcome::failure();
  Ref params = translate_named_children(ctx.field(node, Field::Arguments), ctx);
  if (!params) return Outcome::failure();
  return ast::make(NodeClass::MethodCall, lineno, std::move(object),
                   std::move(name), std::move(params));
}

// $o?->m(1) -> NullsafeCall(object, "m", params)
// The name is always the text as written: `$o?->$m()` gives "$m".
Outcome translate_nullsafe_call(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref object = field_or_none(node, Field::Object, ctx);
  Ref name = ctx.str(field_text(node, Field::Name, ctx));
  Ref params = translate_named_children(ctx.field(node, Field::Arguments), ctx);
  if (!params) return Outcome::failure();
  return ast::make(NodeClass::NullsafeCall, lineno, std::move(object),
                   std::move(name), std::move(params));
}

// Foo::m(1), STATIC::m(), $cls::m(), A::$m() -> StaticMethodCall(scope, name, params)
Outcome translate_static_call(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref scope = call_scope_name(ctx.field(node, Field::Scope), ctx);
  Ref name = member_name(node, ctx);
  if (!name) return Outcome::failure();
  Ref params = translate_named_children(ctx.field(node, Field::Arguments), ctx);
  if (!params) return Outcome::failure();
  return ast::make(NodeClass::StaticMethodCall, lineno, std::move(scope),
                   std::move(name), std::move(params));
}

constexpr HandlerEntry kHandlers[] = {
    {Kind::FunctionCallExpression, translate_function_call},
    {Kind::Argument, translate_argument},
    {Kind::MemberCallExpression, translate_method_call},
    {Kind::NullsafeMemberCallExpression, translate_nullsafe_call},
    {Kind::ScopedCallExpression, translate_static_call},
};

}  // namespace

HandlerList call_handlers() { return kHandlers; }

}  // namespace zarnu::translate
