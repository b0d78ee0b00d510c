// Namespaces, namespace imports and constants outside class bodies. A
// namespace body is walked like the top of a file, so inline text and "<?="
// behave there as they do at the top; its name holds in the context for the
// body, or for the rest of the file after `namespace X;`.
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

bool has_braced_body(TSNode node, const Ctx& ctx) {
  return !ts_node_is_null(first_child_of_kind(node, Kind::CompoundStatement, ctx));
}

// The items of a namespace body, walked as the top of a file is, with a
// short-echo flag of their own. A braced body that arrives as one Block
// gives that Block's statements.
Ref namespace_items(TSNode node, Ctx& ctx) {
  Ref items = translate_program_children(node, ctx);
  if (!items || PyList_GET_SIZE(items.get()) != 1) return items;
  PyObject* only = PyList_GET_ITEM(items.get(), 0);  // borrowed
  if (PyObject* statements = block_statements(only)) return Ref::borrow(statements);
  return items;
}

// One imported name; inside a group `prefix` is the shared part before
// "\{". A name the grammar had to make up stays "".
Outcome use_clause(TSNode clause, std::string_view prefix, Ctx& ctx) {
  const TSNode name = named_child(clause, 0, ctx);
  std::string imported;
  if (!ts_node_is_null(name)) {
    const std::string_view written = text_of(name, ctx);
    if (!prefix.empty() && !written.empty()) {
      imported.assign(prefix);
      imported += '\\';
    }
    imported += written;
  }
  return ast::make(NodeClass::UseDeclaration, line_of(clause), ctx.str(imported),
                   field_text_or_none(clause, Field::Alias, ctx));
}

// namespace A\B { ... } -> Namespace("A\B", [statements])
// namespace A\B;        -> Namespace("A\B", []), and A\B holds from here on
// namespace { ... }     -> Namespace(None, [statements]) in the namespace around it
Outcome translate_namespace_definition(TSNode node, Ctx& ctx, uint64_t lineno) {
  const TSNode name_node = ctx.field(node, Field::Name);
  Text name;
  if (!ts_node_is_null(name_node)) name = owned_text(name_node, ctx);
  Ref items;
  if (has_braced_body(node, ctx)) {
    auto scope = ctx.enter_namespace(name ? name : ctx.namespace_name());
    items = namespace_items(node, ctx);
  } else {
    if (name) ctx.set_namespace(name);
    items = namespace_items(node, ctx);
  }
  if (!items) return Outcome::failure();
  return ast::make(NodeClass::Namespace, lineno, name ? ctx.str(*name) : Ref::none(),
                   std::move(items));
}

// use A\B as C, D;  -> UseDeclarations([UseDeclaration("A\B", "C"), UseDeclaration("D", None)])
// use A\{B, C as D}; -> UseDeclarations([UseDeclaration("A\B", None), UseDeclaration("A\C", "D")])
// A group imports each of its names behind the shared prefix, exactly as if
// they were written out one by one. The kind of import (function, const) is
// not recorded.
Outcome translate_namespace_use_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref clauses = Ref::steal(PyList_New(0));
  if (!clauses) return Outcome::failure();
  std::string_view prefix;
  for (Children child(node, ctx); child.next_named();) {
    const TSNode current = child.node();
    switch (ctx.kind(current)) {
      case Kind::NamespaceName:
        prefix = text_of(current, ctx);
        break;
      case Kind::NamespaceUseClause:
        if (!append_item(clauses.get(), translate_with_ctx(current, ctx))) {
          return Outcome::failure();
        }
        break;
      case Kind::NamespaceUseGroup:
        for (Children member(current, ctx); member.next_named();) {
          if (ctx.kind(member.node()) != Kind::NamespaceUseClause) continue;
          if (!append_item(clauses.get(), use_clause(member.node(), prefix, ctx))) {
            return Outcome::failure();
          }
        }
        break;
      default:
        break;
    }
  }
  return ast::make(NodeClass::UseDeclarations, lineno, std::move(clauses));
}

// A\B as C -> UseDeclaration("A\B", "C")
Outcome translate_namespace_use_clause(TSNode node, Ctx& ctx, uint64_t) {
  return use_clause(node, {}, ctx);
}

// const A = 1, B = 2; -> ConstantDeclarations([ConstantDeclaration("A", 1),
//                        ConstantDeclaration("B", 2)]), all on the line of `const`
Outcome translate_const_declaration(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref constants = const_elements(node, NodeClass::ConstantDeclaration, lineno, ctx);
  if (!constants) return Outcome::failure();
  return ast::make(NodeClass::ConstantDeclarations, lineno, std::move(constants));
}

constexpr HandlerEntry kNamespaceHandlers[] = {
    {Kind::NamespaceDefinition, translate_namespace_definition},
    {Kind::NamespaceUseDeclaration, translate_namespace_use_declaration},
    {Kind::NamespaceUseClause, translate_namespace_use_clause},
    {Kind::ConstDeclaration, translate_const_declaration},
};

}  // namespace

HandlerList namespace_handlers() { return kNamespaceHandlers; }

}  // namespace zarnu::translate
