// Type declarations and the members only they hold: classes, interfaces,
// traits and enums; class constants, properties with their hooks, enum cases
// and trait uses with their alias rules. Only a class changes the context's
// class name; the others translate their bodies in the enclosing context.
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// Calls `visit` with the text of each named child of a clause such as
// `implements A, B` or `extends A, B`. A comment between the names is no
// name.
template <class Visit>
void for_each_listed_name(TSNode clause, const Ctx& ctx, Visit&& visit) {
  for (Children child(clause, ctx); child.next_named();) {
    if (is_comment(child.node(), ctx)) continue;
    visit(text_of(child.node(), ctx));
  }
}

// `implements A, B` of a class or enum, appended to `implements`.
void append_implemented(TSNode clause, const Ctx& ctx, PyObject* implements) {
  for_each_listed_name(clause, ctx, [&](std::string_view name) {
    append_word(implements, ctx.str(name));
  });
}

// A member that a declaration treats apart from the rest: `handled` says
// whether it was one, `ok` whether handling it succeeded.
struct Special {
  bool handled = false;
  bool ok = true;
};

// The members of a class, interface, trait or enum body in source order.
// `special` takes the members that the declaration keeps apart; every other
// member is translated and its value added to `nodes`, a list value item by
// item. Any failure fails the declaration. A declaration without a body
// adds nothing.
template <class SpecialMember>
bool walk_members(TSNode declaration, Ctx& ctx, PyObject* nodes,
                  SpecialMember&& special) {
  const TSNode body = ctx.field(declaration, Field::Body);
  if (ts_node_is_null(body)) return true;
  // Only named children: "{", "}" and ";" translate to nothing anyway.
  for (Children child(body, ctx); child.next_named();) {
    const TSNode member = child.node();
    const Special taken = special(member);
    if (taken.handled) {
      if (!taken.ok) return false;
      continue;
    }
    if (!append_statement(nodes, translate_with_ctx(member, ctx))) return false;
  }
  return true;
}

Special no_special_members(TSNode) { return {}; }

// `use T;` in a class or trait body: its TraitUse goes to `traits`, as the
// translation gives it.
Special take_trait_use(TSNode member, Ctx& ctx, PyObject* traits) {
  if (ctx.kind(member) != Kind::UseDeclaration) return {};
  return {true, append_item(traits, translate_with_ctx(member, ctx))};
}

// const A = 1, B; in a class body -> ClassConstants([ClassConstant("A", 1),
// ClassConstant("B", None)]), all on the class's line. A declaration of no
// constant adds nothing. Visibility, `final` and the type are not recorded.
Special take_class_constants(TSNode member, Ctx& ctx, PyObject* nodes,
                             uint64_t lineno) {
  if (ctx.kind(member) != Kind::ConstDeclaration) return {};
  Ref constants = const_elements(member, NodeClass::ClassConstant, lineno, ctx);
  if (!constants) return {true, false};
  if (PyList_GET_SIZE(constants.get()) == 0) return {true, true};
  Ref declaration =
      ast::make(NodeClass::ClassConstants, lineno, std::move(constants));
  return {true, declaration && PyList_Append(nodes, declaration.get()) == 0};
}

// case A = 'a'; -> EnumCase("A", "a") on its own line.
Special take_enum_case(TSNode member, Ctx& ctx, PyObject* nodes) {
  if (ctx.kind(member) != Kind::EnumCase) return {};
  Ref value = ast::make(NodeClass::EnumCase, line_of(member),
                        ctx.str(field_text(member, Field::Name, ctx)),
                        field_or_none(member, Field::Value, ctx));
  return {true, value && PyList_Append(nodes, value.get()) == 0};
}

// The hooks of `{ get => ...; set { ... } }`, each on its own line. A hook's
// parameters are not recorded.
Ref property_hooks(TSNode list, Ctx& ctx) {
  Ref hooks = Ref::steal(PyList_New(0));
  if (!hooks) return hooks;
  for (Children child(list, ctx); child.next_named();) {
    const TSNode hook = child.node();
    if (ctx.kind(hook) != Kind::PropertyHook) continue;
    const TSNode name = first_child_of_kind(hook, Kind::Name, ctx);
    Ref params = Ref::steal(PyList_New(0));
    if (!params) return Ref();
    Ref node = ast::make(
        NodeClass::PropertyHook, line_of(hook),
        ctx.str(ts_node_is_null(name) ? std::string() : lowered_text(name, ctx)),
        std::move(params), field_or_none(hook, Field::Body, ctx));
    if (!node || PyList_Append(hooks.get(), node.get()) < 0) return Ref();
  }
  return hooks;
}

// The part of `A::m` before the first "::", and the part after it.
Ref method_reference(std::string_view text, uint64_t lineno) {
  const size_t colons = text.find("::");
  if (colons == std::string_view::npos) return make_str(text);
  return ast::make(NodeClass::StaticProperty, lineno, make_str(text.substr(0, colons)),
                   make_str(text.substr(colons + 2)));
}

// The alias rules of `{ ... }` after `use T`, appended to `renames`. Only
// `as` rules: `insteadof` rules are not recorded.
bool append_alias_rules(TSNode list, Ctx& ctx, PyObject* renames) {
  for (Children child(list, ctx); child.next_named();) {
    if (ctx.kind(child.node()) != Kind::UseAsClause) continue;
    if (!append_item(renames, translate_with_ctx(child.node(), ctx))) return false;
  }
  return true;
}

// final class A extends B implements J, K { use T; const X = 1; public $p; }
//   -> Class("A", "final", "B", ["J", "K"], [TraitUse("T", [])],
//            [ClassConstants([ClassConstant("X", 1)]), ClassVariables(...)])
// `abstract` is not recorded; of `final` and `readonly` the first written
// is the type.
Outcome translate_class_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  const std::string_view name = field_text(node, Field::Name, ctx);
  auto scope = ctx.enter_class(name);
  std::optional<std::string> type;
  Ref extends = Ref::none();
  Ref implements = Ref::steal(PyList_New(0));
  Ref traits = Ref::steal(PyList_New(0));
  Ref nodes = Ref::steal(PyList_New(0));
  if (!implements || !traits || !nodes) return Outcome::failure();
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    switch (ctx.kind(current)) {
      case Kind::BaseClause: {
        const TSNode parent = named_child(current, 0, ctx);
        if (!ts_node_is_null(parent)) extends = text_str(parent, ctx);
        break;
      }
      case Kind::FinalModifier:
      case Kind::ReadonlyModifier:
        if (!type) type = lowered_text(current, ctx);
        break;
      case Kind::ClassInterfaceClause:
        append_implemented(current, ctx, implements.get());
        break;
      default:
        break;
    }
  }
  const bool members_ok = walk_members(node, ctx, nodes.get(), [&](TSNode member) {
    Special taken = take_class_constants(member, ctx, nodes.get(), lineno);
    if (taken.handled) return taken;
    return take_trait_use(member, ctx, traits.get());
  });
  if (!members_ok) return Outcome::failure();
  return ast::make(NodeClass::Class, lineno, ctx.str(name),
                   type ? ctx.str(*type) : Ref::none(), std::move(extends),
                   std::move(implements), std::move(traits), std::move(nodes));
}

// interface I extends A, B { ... } -> Interface("I", "A, B", [...])
Outcome translate_interface_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref extends = Ref::none();
  const TSNode base = first_child_of_kind(node, Kind::BaseClause, ctx);
  if (!ts_node_is_null(base)) {
    std::string joined;
    bool first = true;
    for_each_listed_name(base, ctx, [&](std::string_view parent) {
      if (!first) joined += ", ";
      joined += parent;
      first = false;
    });
    extends = ctx.str(joined);
  }
  Ref nodes = Ref::steal(PyList_New(0));
  if (!nodes) return Outcome::failure();
  if (!walk_members(node, ctx, nodes.get(), no_special_members)) {
    return Outcome::failure();
  }
  return ast::make(NodeClass::Interface, lineno,
                   ctx.str(field_text(node, Field::Name, ctx)), std::move(extends),
                   std::move(nodes));
}

// trait T { use U; function m() {} } -> Trait("T", [TraitUse("U", [])], [Method(...)])
Outcome translate_trait_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref traits = Ref::steal(PyList_New(0));
  Ref nodes = Ref::steal(PyList_New(0));
  if (!traits || !nodes) return Outcome::failure();
  const bool members_ok = walk_members(node, ctx, nodes.get(), [&](TSNode member) {
    return take_trait_use(member, ctx, traits.get());
  });
  if (!members_ok) return Outcome::failure();
  return ast::make(NodeClass::Trait, lineno,
                   ctx.str(field_text(node, Field::Name, ctx)), std::move(traits),
                   std::move(nodes));
}

// enum E: string implements I { case A = 'a'; const X = 1; function f() {} }
//   -> Enum("E", "string", ["I"], [EnumCase("A", "a"),
//           ConstantDeclarations([...]), Method("f", ...)])
// The cases and the other members share `nodes` in source order, as a
// class's members do; an enum has no separate place for them, and dropping
// them would lose its methods and constants.
Outcome translate_enum_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  Outcome backing = primitive_type_text(node, ctx);
  if (backing.failed()) return backing;
  Ref implements = Ref::steal(PyList_New(0));
  Ref nodes = Ref::steal(PyList_New(0));
  if (!implements || !nodes) return Outcome::failure();
  const TSNode clause = first_child_of_kind(node, Kind::ClassInterfaceClause, ctx);
  if (!ts_node_is_null(clause)) append_implemented(clause, ctx, implements.get());
  const bool members_ok = walk_members(node, ctx, nodes.get(), [&](TSNode member) {
    return take_enum_case(member, ctx, nodes.get());
  });
  if (!members_ok) return Outcome::failure();
  return ast::make(NodeClass::Enum, lineno,
                   ctx.str(field_text(node, Field::Name, ctx)),
                   std::move(backing).take_or_none(), std::move(implements),
                   std::move(nodes));
}

// public static ?int $a = 1, $b { get => 2; }
//   -> ClassVariables(["public", "static"], [ClassVariable("$a", 1),
//                     ClassVariable("$b", None)], [PropertyHook("get", [], 2)])
// The type, `var`, `final` and `abstract` are not recorded.
Outcome translate_property_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref modifiers = Ref::steal(PyList_New(0));
  Ref nodes = Ref::steal(PyList_New(0));
  if (!modifiers || !nodes) return Outcome::failure();
  Ref hooks = Ref::none();
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    switch (ctx.kind(current)) {
      case Kind::StaticModifier:
        append_word(modifiers.get(), ctx.str("static"));
        break;
      case Kind::ReadonlyModifier:
        append_word(modifiers.get(), ctx.str("readonly"));
        break;
      case Kind::VisibilityModifier:
        append_word(modifiers.get(), trimmed_str(current, ctx));
        break;
      case Kind::PropertyElement: {
        Ref variable = ast::make(
            NodeClass::ClassVariable, lineno,
            ctx.str(field_text(current, Field::Name, ctx)),
            field_or_none(current, Field::DefaultValue, ctx));
        if (!variable || PyList_Append(nodes.get(), variable.get()) < 0) {
          return Outcome::failure();
        }
        break;
      }
      case Kind::PropertyHookList:
        hooks = property_hooks(current, ctx);
        if (!hooks) return Outcome::failure();
        break;
      default:
        break;
    }
  }
  return ast::make(NodeClass::ClassVariables, lineno, std::move(modifiers),
                   std::move(nodes), std::move(hooks));
}

// use A;                 -> TraitUse("A", [])
// use A, \B\C { ... }    -> TraitUse("A, \B\C", [TraitModifier(...), ...])
// One node stands for the whole statement, so several traits share its name
// field the way an interface's parents share `extends`: joined with ", ".
Outcome translate_use_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  std::string names;
  Ref renames = Ref::steal(PyList_New(0));
  if (!renames) return Outcome::failure();
  for (Children child(node, ctx); child.next_named();) {
    const TSNode current = child.node();
    if (is_name_node(current, ctx)) {
      if (!names.empty()) names += ", ";
      names += text_of(current, ctx);
    } else if (ctx.kind(current) == Kind::UseList) {
      if (!append_alias_rules(current, ctx, renames.get())) {
        return Outcome::failure();
      }
    }
  }
  return ast::make(NodeClass::TraitUse, lineno, ctx.str(names), std::move(renames));
}

// { A::m as protected n; } met on its own -> [TraitModifier(...)]
Outcome translate_use_list(TSNode node, Ctx& ctx, uint64_t) {
  Ref renames = Ref::steal(PyList_New(0));
  if (!renames || !append_alias_rules(node, ctx, renames.get())) {
    return Outcome::failure();
  }
  return renames;
}

// A::m as protected n -> TraitModifier(StaticProperty("A", "m"), "n", "protected")
// m as private        -> TraitModifier("m", None, "private")
Outcome translate_use_as_clause(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode source = named_child(node, 0, ctx);
  Ref from = Ref::none();
  if (!ts_node_is_null(source)) {
    const Kind kind = ctx.kind(source);
    if (kind == Kind::ScopedCallExpression ||
        kind == Kind::ScopedPropertyAccessExpression) {
      Outcome value = translate_with_ctx(source, ctx);
      if (value.failed()) return value;
      from = std::move(value).take_or_none();
    } else if (kind == Kind::ClassConstantAccessExpression &&
               !ts_node_is_null(named_child(source, 1, ctx))) {
      // From its two names, not by cutting the text at "::": blanks, line
      // breaks or a comment around the "::" belong to neither name.
      from = ast::make(NodeClass::StaticProperty, lineno,
                       text_str(named_child(source, 0, ctx), ctx),
                       text_str(named_child(source, 1, ctx), ctx));
      if (!from) return Outcome::failure();
    } else {
      from = method_reference(text_of(source, ctx), lineno);
    }
  }
  Ref to = Ref::none();
  Ref visibility = Ref::none();
  bool past_source = false;
  for (Children child(node, ctx); child.next_named();) {
    const TSNode current = child.node();
    const Kind kind = ctx.kind(current);
    if (kind == Kind::Comment) continue;
    if (!past_source) {
      past_source = true;
      continue;
    }
    if (kind == Kind::VisibilityModifier) {
      visibility = ctx.str(lowered_text(current, ctx));
    } else if (kind == Kind::Name || kind == Kind::QualifiedName) {
      to = text_str(current, ctx);
    }
  }
  return ast::make(NodeClass::TraitModifier, lineno, std::move(from), std::move(to),
                   std::move(visibility));
}

constexpr HandlerEntry kClassHandlers[] = {
    {Kind::ClassDeclaration, translate_class_declaration},
    {Kind::InterfaceDeclaration, translate_interface_declaration},
    {Kind::TraitDeclaration, translate_trait_declaration},
    {Kind::EnumDeclaration, translate_enum_declaration},
    {Kind::PropertyDeclaration, translate_property_declaration},
    {Kind::UseDeclaration, translate_use_declaration},
    {Kind::UseList, translate_use_list},
    {Kind::UseAsClause, translate_use_as_clause},
};

}  // namespace

HandlerList class_handlers() { return kClassHandlers; }

}  // namespace zarnu::translate
