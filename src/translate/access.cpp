// Member access, class constants, static properties, subscripts, array
// literals and object creation: `$o->p`, `A::C`, `A::$p`, `$a[i]`, `[k => v]`
// and `new X(...)`.
#include <string_view>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// $o->p        -> ObjectProperty(Variable("$o"), "p")
// $o->$p       -> ObjectProperty(Variable("$o"), Variable("$p"))
// $o->{'p'}    -> ObjectProperty(Variable("$o"), "'p'")
// $o?->p       -> NullsafePropertyAccess(Variable("$o"), "p")
// A variable name is translated and its failure is the access's; any other
// name is kept as written.
Outcome translate_property_access(TSNode node, Ctx& ctx, uint64_t lineno) {
  const NodeClass cls = ctx.kind(node) == Kind::NullsafeMemberAccessExpression
                            ? NodeClass::NullsafePropertyAccess
                            : NodeClass::ObjectProperty;
  Ref object = field_or_none(node, Field::Object, ctx);
  Ref name = member_name(node, ctx);
  if (!name) return Outcome::failure();
  return ast::make(cls, lineno, std::move(object), std::move(name));
}

// The constant of `X::C`: its text, or for `X::{$c}` the variable.
Ref constant_name(TSNode member, Ctx& ctx) {
  if (ts_node_is_null(member)) return ctx.str("");
  if (ctx.kind(member) == Kind::Name) {
    const TSNode inner = named_child(member, 0, ctx);
    if (!ts_node_is_null(inner) && ctx.kind(inner) == Kind::VariableName) {
      Outcome value = translate_child(inner, ctx);
      if (value.has_value()) return std::move(value).take();
    }
  }
  return text_str(member, ctx);
}

// Foo::BAR, SELF::BAR -> StaticProperty("Foo", "BAR"), StaticProperty("self", "BAR")
// $obj::BAR           -> StaticProperty(Variable("$obj"), "BAR")
// Foo::{$c}           -> StaticProperty("Foo", Variable("$c"))
// Foo::class          -> "Foo", the class name as written and no node; the
//                        keyword is case-insensitive, so Foo::CLASS too
// $obj::class         -> StaticProperty(Variable("$obj"), "class"): the class
//                        of a value is no text known before run time
Outcome translate_class_constant(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode scope_node = named_child(node, 0, ctx);
  const TSNode member = named_child(node, 1, ctx);
  const bool named_scope = ts_node_is_null(scope_node) || is_name_node(scope_node, ctx) ||
                           ctx.kind(scope_node) == Kind::RelativeScope;
  if (named_scope && !ts_node_is_null(member) && lowered_text(member, ctx) == "class") {
    return text_or_empty(scope_node, ctx);
  }
  Ref scope = scope_name(scope_node, ctx);
  return ast::make(NodeClass::StaticProperty, lineno, std::move(scope),
                   constant_name(member, ctx));
}

// Foo::$bar   -> StaticProperty("Foo", Variable("$bar"))
// $obj::$bar  -> StaticProperty(Variable("$obj"), Variable("$bar"))
// Both variables are made from the text as written, with the access's line:
// `Foo::$$p` names the property Variable("$$p").
Outcome translate_static_property(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode scope_node = ctx.field(node, Field::Scope);
  Ref scope = property_scope_name(scope_node, ctx, lineno);
  const TSNode name_node = ctx.field(node, Field::Name);
  Ref name;
  if (!ts_node_is_null(name_node) && text_of(name_node, ctx).starts_with('$')) {
    name = variable_as_written(name_node, ctx, lineno);
  } else {
    name = text_or_empty(name_node, ctx);
  }
  return ast::make(NodeClass::StaticProperty, lineno, std::move(scope),
                   std::move(name));
}

// "$a[K]" in a string: an access written without braces, whose offset is
// text whatever its form, unlike the expression in "{$a[K]}".
bool is_simple_interpolation(TSNode subscript, const Ctx& ctx) {
  const TSNode parent = ts_node_parent(subscript);
  if (ts_node_is_null(parent)) return false;
  switch (ctx.kind(parent)) {
    case Kind::EncapsedString:
    case Kind::HeredocBody:
    case Kind::ShellCommandExpression:
      break;
    default:
      return false;
  }
  const TSNode before = ts_node_prev_sibling(subscript);
  return ts_node_is_null(before) || ctx.kind(before) != Kind::OpenBrace;
}

// $a[0], $a[], $a[K] -> ArrayOffset(Variable("$a"), 0 / None / "K")
// $o->$p[0]          -> ArrayOffset(ObjectProperty(Variable("$o"), Variable("$p")), 0)
// The offset applies to the property, as PHP reads it since version 7;
// `$o->{$p[0]}` is the form that offsets the name.
Outcome translate_subscript(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode base_node = named_child(node, 0, ctx);
  const TSNode index_node = named_child(node, 1, ctx);
  Ref index = Ref::none();
  if (!ts_node_is_null(index_node)) {
    index = child_or_none(index_node, ctx);
    // A constant offset stands as its name: $a[FOO] has the offset "FOO". A
    // magic constant keeps its value, in $a[__LINE__] as anywhere else,
    // except in "$a[__LINE__]", where PHP reads any bare offset as text.
    if (is_name_node(index_node, ctx) &&
        (!ast::is_instance(index.get(), NodeClass::MagicConstant) ||
         is_simple_interpolation(node, ctx))) {
      index = name_or_self(std::move(index));
    }
  }
  return ast::make(NodeClass::ArrayOffset, lineno, child_or_none(base_node, ctx),
                   std::move(index));
}

// The parts of an element: `k => v` has a key before its "=>" and a value
// after it, `v`, `&v` and `...v` a value alone. Comments are passed over.
struct ElementPieces {
  TSNode key{};
  TSNode value{};
};

ElementPieces element_parts(TSNode element, const Ctx& ctx) {
  ElementPieces parts;
  bool after_arrow = false;
  for (Children child(element, ctx); child.next();) {
    const TSNode current = child.node();
    if (ctx.kind(current) == Kind::DoubleArrow) {
      after_arrow = true;
      parts.key = parts.value;
      parts.value = TSNode{};
      continue;
    }
    if (!ts_node_is_named(current) || is_comment(current, ctx)) continue;
    // Before "=>" the first part is the key; after it the last is the value.
    if (after_arrow || ts_node_is_null(parts.value)) parts.value = current;
  }
  return parts;
}

// 'a' => 1 -> ArrayElement("a", 1, False)
// 1        -> ArrayElement(None, 1, False)
// &$x      -> ArrayElement(None, [Variable("$x")], True)
// ...$r    -> ArrayElement(None, [Variable("$r")], False)
// The "&" and "..." forms keep the default translation of their operand, a
// one-item list; only the "&" form is by reference.
Ref translate_array_element(TSNode element, Ctx& ctx) {
  const ElementPieces parts = element_parts(element, ctx);
  const bool by_ref =
      !ts_node_is_null(parts.value) && ctx.kind(parts.value) == Kind::ByRef;
  Ref key = child_or_none(parts.key, ctx);
  Ref value = child_or_none(parts.value, ctx);
  return ast::make(NodeClass::ArrayElement, line_of(element), std::move(key),
                   std::move(value), Ref::boolean(by_ref));
}

// [1, 'k' => $v], array(1) -> Array([ArrayElement(...), ...])
Outcome translate_array(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref elements = Ref::steal(PyList_New(0));
  if (!elements) return Outcome::failure();
  for (Children child(node, ctx); child.next_named();) {
    if (ctx.kind(child.node()) != Kind::ArrayElementInitializer) continue;
    Ref element = translate_array_element(child.node(), ctx);
    if (!element || PyList_Append(elements.get(), element.get()) < 0) {
      return Outcome::failure();
    }
  }
  return ast::make(NodeClass::Array, lineno, fitted(std::move(elements)));
}

// An element met outside an array literal, as the operand of `yield $k =>
// $v`: the value alone, the last part.
Outcome translate_lone_array_element(TSNode node, Ctx& ctx, uint64_t) {
  return translate_child(last_named_child(node, ctx), ctx);
}

// new Foo(1)       -> New("Foo", [Parameter(1, False)])
// new $cls, new static -> New("$cls", []), New("static", [])
// The class stays the text as written, even when it is computed; an
// anonymous class is `class(...) {...}` as written, its arguments included.
Outcome translate_new(TSNode node, Ctx& ctx, uint64_t lineno) {
  TSNode arguments{};
  std::string_view designator;
  for (Children child(node, ctx); child.next_named();) {
    const TSNode current = child.node();
    if (is_comment(current, ctx)) continue;
    if (ctx.kind(current) == Kind::Arguments) {
      arguments = current;
    } else {
      designator = text_of(current, ctx);
    }
  }
  Ref params = translate_named_children(arguments, ctx);
  if (!params) return Outcome::failure();
  return ast::make(NodeClass::New, lineno, ctx.str(designator), std::move(params));
}

constexpr HandlerEntry kHandlers[] = {
    {Kind::MemberAccessExpression, translate_property_access},
    {Kind::NullsafeMemberAccessExpression, translate_property_access},
    {Kind::ClassConstantAccessExpression, translate_class_constant},
    {Kind::ScopedPropertyAccessExpression, translate_static_property},
    {Kind::SubscriptExpression, translate_subscript},
    {Kind::ArrayCreationExpression, translate_array},
    {Kind::ArrayElementInitializer, translate_lone_array_element},
    {Kind::ObjectCreationExpression, translate_new},
};

}  // namespace

HandlerList access_handlers() { return kHandlers; }

}  // namespace zarnu::translate
