// Control-flow statements: if with its elseif and else clauses, the loops,
// switch, try and declare. Conditions, clauses and bodies are found by the
// grammar's field names, so that a comment or an omitted `for` clause cannot
// shift one into another's place. Inline text that the grammar leaves beside
// a body (mostly before an end keyword of the colon form) stays with that
// body.
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

bool append(PyObject* list, PyObject* item) { return PyList_Append(list, item) == 0; }

// --- if ----------------------------------------------------------------------

// One branch of an if statement: its body, and the inline text that stands
// beside it (None for text that gives nothing). `text` stays empty until the
// first inline text.
struct Branch {
  TSNode clause{};  // else_if_clause or else_clause; null for the if itself
  Ref condition;    // of an elseif; empty for an else
  Ref body;         // None when the branch has no body
  Ref text;

  bool add_text(TSNode interpolation, Ctx& ctx) {
    Outcome result = translate_with_ctx(interpolation, ctx);
    if (result.failed()) return false;
    if (!text) {
      text = Ref::steal(PyList_New(0));
      if (!text) return false;
    }
    return append(text.get(), std::move(result).take_or_none().get());
  }
};

// The body of a branch, with its inline text after the body's statements in
// a Block that no source block stands for (lineno None). NULL with the
// exception set on failure.
Ref merge_inline_text(Branch& branch) {
  if (!branch.text) return std::move(branch.body);
  Ref items = Ref::steal(PyList_New(0));
  if (!items) return items;
  PyObject* body = branch.body.get();
  if (PyObject* statements = block_statements(body)) {
    if (PyList_Check(statements) && !append_spliced(items.get(), statements)) {
      return Ref();
    }
  } else if (body != Py_None && !append_spliced(items.get(), body)) {
    return Ref();
  }
  if (!append_spliced(items.get(), branch.text.get())) return Ref();
  return ast::make(NodeClass::Block, std::nullopt, std::move(items));
}

// Starts the branch of an elseif or else clause; text inside the clause,
// before its body, is the branch's own.
bool open_clause(Branch& branch, TSNode clause, Ctx& ctx) {
  branch.clause = clause;
  branch.condition.reset();
  if (ctx.kind(clause) == Kind::ElseIfClause) {
    branch.condition = field_or_none(clause, Field::Condition, ctx);
  }
  branch.body = field_or_none(clause, Field::Body, ctx);
  branch.text.reset();
  for (Children child(clause, ctx); child.next_named();) {
    if (ctx.kind(child.node()) != Kind::TextInterpolation) continue;
    if (!branch.add_text(child.node(), ctx)) return false;
  }
  return true;
}

// Builds the ElseIf or Else of a finished clause branch into `elseifs` or
// `else_`; the last else clause wins.
bool close_clause(Branch& branch, PyObject* elseifs, Ref& else_) {
  if (ts_node_is_null(branch.clause)) return true;
  const uint64_t lineno = line_of(branch.clause);
  Ref body = merge_inline_text(branch);
  if (!body) return false;
  if (branch.condition) {
    Ref elseif = ast::make(NodeClass::ElseIf, lineno, std::move(branch.condition),
                           std::move(body));
    return elseif && append(elseifs, elseif.get());
  }
  else_ = ast::make(NodeClass::Else, lineno, std::move(body));
  return bool(else_);
}

// if ($a) { $b; } elseif ($c) $d; else { $e; }
//   -> If(Variable("$a"), Block([...]), [ElseIf(Variable("$c"), Variable("$d"))], Else(Block([...])))
// if ($a): ?>x<?php else: ?>y<?php endif;
//   -> If(Variable("$a"), Block([InlineHTML("x")]), [], Else(Block([InlineHTML("y")])))
// The grammar hangs such text on the if statement after the branch it ends;
// it goes with that branch.
Outcome translate_if(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref condition = field_or_none(node, Field::Condition, ctx);
  Branch then_branch;
  then_branch.body = field_or_none(node, Field::Body, ctx);
  Ref elseifs = Ref::steal(PyList_New(0));
  if (!elseifs) return Outcome::failure();
  Ref else_ = Ref::none();
  Branch clause;
  Branch* current = &then_branch;
  for (Children child(node, ctx); child.next_named();) {
    const TSNode part = child.node();
    switch (ctx.kind(part)) {
      case Kind::ElseIfClause:
      case Kind::ElseClause: {
        if (!close_clause(clause, elseifs.get(), else_)) return Outcome::failure();
        if (!open_clause(clause, part, ctx)) return Outcome::failure();
        current = &clause;
        break;
      }
      case Kind::TextInterpolation:
        if (!current->add_text(part, ctx)) return Outcome::failure();
        break;
      default:
        break;
    }
  }
  if (!close_clause(clause, elseifs.get(), else_)) return Outcome::failure();
  Ref body = merge_inline_text(then_branch);
  if (!body) return Outcome::failure();
  return ast::make(NodeClass::If, lineno, std::move(condition), std::move(body),
                   std::move(elseifs), std::move(else_));
}

// --- loops -------------------------------------------------------------------

// The body of a loop. A braced body or a single statement is translated as
// it is. The colon form becomes one Block from the colon on: the statements
// of `for (...): $a; $b; endfor;`, which have no block node of their own,
// and the text before an end keyword, which the grammar leaves beside the
// colon block (`foreach ($a as $v): ?>row<?php endforeach;`). A failure
// inside gives nothing, as for any body.
Outcome loop_body(TSNode node, Ctx& ctx) {
  const TSNode body = ctx.field(node, Field::Body);
  std::vector<TSNode> parts;
  std::optional<uint64_t> colon_line;
  for (Children child(node, ctx); child.next();) {
    const TSNode current = child.node();
    const Kind kind = ctx.kind(current);
    if (kind == Kind::Colon && !colon_line) {
      colon_line = line_of(current);
      continue;
    }
    if (!ts_node_is_named(current)) continue;
    const bool is_body = ts_node_eq(current, body);
    if (is_body && kind == Kind::ColonBlock && !colon_line) colon_line = line_of(current);
    if (colon_line || is_body || kind == Kind::TextInterpolation) parts.push_back(current);
  }
  if (!colon_line && parts.size() <= 1) {
    return translate_child(parts.empty() ? body : parts.front(), ctx);
  }
  Ref items = Ref::steal(PyList_New(0));
  if (!items) return discard_error();
  for (const TSNode part : parts) {
    Outcome item = translate_with_ctx(part, ctx);
    const bool appended =
        ctx.kind(part) == Kind::ColonBlock && item.has_value()
            ? append_unwrapped(items.get(), std::move(item).take())
            : append_statement(items.get(), item);
    if (!appended) return discard_error();
  }
  const uint64_t lineno = colon_line ? *colon_line : line_of(parts.front());
  Outcome block = ast::make(NodeClass::Block, lineno, std::move(items));
  if (block.failed()) return discard_error();
  return block;
}

// One clause of a `for` header; None when it is omitted or fails.
// `$a = 0, $b = 0` -> [Assignment(...), Assignment(...)]
Ref for_clause(TSNode clause, Ctx& ctx) {
  if (ts_node_is_null(clause)) return Ref::none();
  if (ctx.kind(clause) != Kind::SequenceExpression) {
    return child_or_none(clause, ctx);
  }
  Ref items = translate_sequence(clause, ctx);
  if (items) return items;
  return discard_error().take_or_none();
}

// for ($i = 0; $i < 3; $i++) { $a; }
//   -> For(Assignment(...), BinaryOp("<", ...), PostIncDecOp("++", ...), Block([Variable("$a")]))
// for (;;) { $a; } -> For(None, None, None, Block([Variable("$a")]))
Outcome translate_for(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref start = for_clause(ctx.field(node, Field::Initialize), ctx);
  Ref test = for_clause(ctx.field(node, Field::Condition), ctx);
  Ref count = for_clause(ctx.field(node, Field::Update), ctx);
  Ref body = loop_body(node, ctx).take_or_none();
  return ast::make(NodeClass::For, lineno, std::move(start), std::move(test),
                   std::move(count), std::move(body));
}

// while ($a) { $b; } -> While(Variable("$a"), Block([Variable("$b")]))
// while ($a);        -> While(Variable("$a"), Block([]))
Outcome translate_while(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref condition = field_or_none(node, Field::Condition, ctx);
  Outcome body = loop_body(node, ctx);
  Ref node_value = body.has_value() ? std::move(body).take() : empty_block(lineno);
  return ast::make(NodeClass::While, lineno, std::move(condition), std::move(node_value));
}

// do { $a; } while ($b); -> DoWhile(Block([Variable("$a")]), Variable("$b"))
Outcome translate_do(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref body = loop_body(node, ctx).take_or_none();
  Ref condition = field_or_none(node, Field::Condition, ctx);
  return ast::make(NodeClass::DoWhile, lineno, std::move(body), std::move(condition));
}

// The value target of a foreach taken by reference, `&$v`: its line is that
// of the variable, or of `fallback` when the grammar found none.
Ref by_ref_target(TSNode by_ref, TSNode fallback, Ctx& ctx) {
  const TSNode target = named_child(by_ref, 0, ctx);
  const uint64_t lineno = line_of(ts_node_is_null(target) ? fallback : target);
  Ref name = child_or_none(target, ctx);
  return ast::make(NodeClass::ForeachVariable, lineno, std::move(name), Ref::boolean(true));
}

// foreach ($a as $v) {}        -> Foreach(Variable("$a"), None, ForeachVariable(Variable("$v"), False), Block([]))
// foreach ($a as $k => &$v) {} -> Foreach(Variable("$a"), Variable("$k"), ForeachVariable(Variable("$v"), True), Block([]))
Outcome translate_foreach(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref subject = first_child_or_none(node, ctx);
  const TSNode body = ctx.field(node, Field::Body);
  TSNode target = named_child(node, 1, ctx);
  if (!ts_node_is_null(target) &&
      (ts_node_eq(target, body) || ctx.kind(target) == Kind::TextInterpolation)) {
    target = TSNode{};
  }
  Ref key = Ref::none();
  Ref value = Ref::none();
  if (ts_node_is_null(target)) {
    // No target written: both stay None.
  } else if (ctx.kind(target) == Kind::Pair) {
    key = child_or_none(named_child(target, 0, ctx), ctx);
    const TSNode target_value = named_child(target, 1, ctx);
    if (ts_node_is_null(target_value)) {
      value = ast::make(NodeClass::ForeachVariable, line_of(target), Ref::none(),
                        Ref::boolean(false));
    } else if (ctx.kind(target_value) == Kind::ByRef) {
      value = by_ref_target(target_value, target, ctx);
    } else {
      value = ast::make(NodeClass::ForeachVariable, line_of(target_value),
                        child_or_none(target_value, ctx),
                        Ref::boolean(false));
    }
  } else if (ctx.kind(target) == Kind::ByRef) {
    value = by_ref_target(target, target, ctx);
  } else {
    Outcome name = translate_with_ctx(target, ctx);
    if (name.failed()) return name;
    value = ast::make(NodeClass::ForeachVariable, line_of(target),
                      std::move(name).take_or_none(), Ref::boolean(false));
  }
  if (!value) return Outcome::failure();
  Ref body_value = loop_body(node, ctx).take_or_none();
  return ast::make(NodeClass::Foreach, lineno, std::move(subject), std::move(key),
                   std::move(value), std::move(body_value));
}

// --- switch ------------------------------------------------------------------

// switch ($a) { case 1: $b; default: $c; }
//   -> Switch(Variable("$a"), [Case(1, [Variable("$b")]), Default([Variable("$c")])])
// A failure anywhere in the block leaves the cases [].
Outcome translate_switch(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref subject = field_or_none(node, Field::Condition, ctx);
  Outcome block = translate_child(ctx.field(node, Field::Body), ctx);
  Ref cases = block.has_value() ? std::move(block).take() : Ref::steal(PyList_New(0));
  if (!cases) return Outcome::failure();
  return ast::make(NodeClass::Switch, lineno, std::move(subject), std::move(cases));
}

// case 1: $a; $b; -> Case(1, [Variable("$a"), Variable("$b")])
// default: $a;    -> Default([Variable("$a")])
// Text that the grammar leaves after a case's last statement, before the
// next case or the end of the block (`case 1: ?>x<?php endswitch;`), is
// handed in as `trailing` and joins the statements.
Outcome build_case(TSNode node, Ctx& ctx, std::span<const TSNode> trailing) {
  const bool is_case = ctx.kind(node) == Kind::CaseStatement;
  const TSNode value = is_case ? ctx.field(node, Field::Value) : TSNode{};
  Ref statements = Ref::steal(PyList_New(0));
  if (!statements) return Outcome::failure();
  for (Children child(node, ctx); child.next_named();) {
    if (is_case && ts_node_eq(child.node(), value)) continue;
    if (!append_statement(statements.get(), translate_with_ctx(child.node(), ctx))) {
      return Outcome::failure();
    }
  }
  for (const TSNode text : trailing) {
    if (!append_statement(statements.get(), translate_with_ctx(text, ctx))) {
      return Outcome::failure();
    }
  }
  if (!is_case) return ast::make(NodeClass::Default, line_of(node), std::move(statements));
  Ref expr = child_or_none(value, ctx);
  return ast::make(NodeClass::Case, line_of(node), std::move(expr), std::move(statements));
}

Outcome translate_case(TSNode node, Ctx& ctx, uint64_t) {
  return build_case(node, ctx, {});
}

// The cases of a switch, as a plain list.
Outcome translate_switch_block(TSNode node, Ctx& ctx, uint64_t) {
  std::vector<TSNode> children;
  for (Children child(node, ctx); child.next_named();) children.push_back(child.node());
  Ref cases = Ref::steal(PyList_New(0));
  if (!cases) return Outcome::failure();
  for (size_t i = 0; i < children.size(); ++i) {
    const Kind kind = ctx.kind(children[i]);
    Outcome item = Outcome::nothing();
    if (kind == Kind::CaseStatement || kind == Kind::DefaultStatement) {
      size_t end = i + 1;
      while (end < children.size() &&
             ctx.kind(children[end]) == Kind::TextInterpolation) {
        ++end;
      }
      StackGuard::Level level(ctx.stack());
      item = build_case(children[i], ctx,
                        std::span<const TSNode>(children).subspan(i + 1, end - i - 1));
      i = end - 1;
    } else {
      item = translate_with_ctx(children[i], ctx);
    }
    if (!append_item(cases.get(), item)) return Outcome::failure();
  }
  return cases;
}

// --- try ---------------------------------------------------------------------

// The statements of a clause's `body` field, spliced out of its Block.
Ref body_statements(TSNode node, Ctx& ctx) {
  Ref statements = Ref::steal(PyList_New(0));
  if (!statements) return statements;
  Outcome body = try_translate_child(ctx.field(node, Field::Body), ctx);
  if (body.failed()) return Ref();
  if (body.has_value() && !append_unwrapped(statements.get(), std::move(body).take())) {
    return Ref();
  }
  return statements;
}

// try { $a; } catch (E $e) { $b; } finally { $c; }
//   -> Try([Variable("$a")], [Catch("E", Variable("$e"), [Variable("$b")])], Finally([Variable("$c")]))
Outcome translate_try(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref statements = body_statements(node, ctx);
  if (!statements) return Outcome::failure();
  Ref catches = Ref::steal(PyList_New(0));
  if (!catches) return Outcome::failure();
  Ref finally_ = Ref::none();
  for (Children child(node, ctx); child.next_named();) {
    const Kind kind = ctx.kind(child.node());
    if (kind != Kind::CatchClause && kind != Kind::FinallyClause) continue;
    Outcome clause = translate_with_ctx(child.node(), ctx);
    if (clause.failed()) return clause;
    if (!clause.has_value()) continue;
    if (kind == Kind::FinallyClause) {
      finally_ = std::move(clause).take();
    } else if (!append(catches.get(), clause.get())) {
      return Outcome::failure();
    }
  }
  return ast::make(NodeClass::Try, lineno, std::move(statements), std::move(catches),
                   std::move(finally_));
}

// catch (A | B $e) { $a; } -> Catch("A | B", Variable("$e"), [Variable("$a")])
Outcome translate_catch(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref class_name = ctx.str(field_text(node, Field::Type, ctx));
  Ref variable = field_or_none(node, Field::Name, ctx);
  Ref statements = body_statements(node, ctx);
  if (!statements) return Outcome::failure();
  return ast::make(NodeClass::Catch, lineno, std::move(class_name), std::move(variable),
                   std::move(statements));
}

// finally { $a; } -> Finally([Variable("$a")])
Outcome translate_finally(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref statements = body_statements(node, ctx);
  if (!statements) return Outcome::failure();
  return ast::make(NodeClass::Finally, lineno, std::move(statements));
}

// --- declare -----------------------------------------------------------------

// strict_types=1 -> Directive("strict_types", 1). A value that gives nothing
// stands as its text.
Ref build_directive(TSNode node, Ctx& ctx) {
  const std::string_view text = text_of(node, ctx);
  const size_t equals = text.find('=');
  Ref name = ctx.str(trim(text.substr(0, equals)));
  Outcome value = translate_child(named_child(node, 0, ctx), ctx);
  Ref value_ref = value.has_value()                    ? std::move(value).take()
                  : equals == std::string_view::npos ? ctx.str("")
                                                     : ctx.str(trim(text.substr(equals + 1)));
  return ast::make(NodeClass::Directive, line_of(node), std::move(name),
                   std::move(value_ref));
}

// declare(strict_types=1);      -> Declare([Directive("strict_types", 1)], None)
// declare(ticks=1) { $a; }      -> Declare([Directive("ticks", 1)], Block([Variable("$a")]))
// declare(ticks=1): $a; $b; enddeclare; and declare(ticks=1) $a;
//                               -> Declare([...], Block([...])) with the declare's line
Outcome translate_declare(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref directives = Ref::steal(PyList_New(0));
  Ref statements = Ref::steal(PyList_New(0));
  if (!directives || !statements) return Outcome::failure();
  for (Children child(node, ctx); child.next_named();) {
    const TSNode part = child.node();
    if (ctx.kind(part) == Kind::DeclareDirective) {
      Ref directive = build_directive(part, ctx);
      if (!directive || !append(directives.get(), directive.get())) {
        return Outcome::failure();
      }
      continue;
    }
    if (!append_item(statements.get(), translate_with_ctx(part, ctx))) {
      return Outcome::failure();
    }
  }
  Ref body;
  switch (PyList_GET_SIZE(statements.get())) {
    case 0:
      body = Ref::none();
      break;
    case 1:
      if (PyObject* only = PyList_GET_ITEM(statements.get(), 0); is_block(only)) {
        body = Ref::borrow(only);
        break;
      }
      [[fallthrough]];
    default:
      body = ast::make(NodeClass::Block, lineno, std::move(statements));
      if (!body) return Outcome::failure();
  }
  return ast::make(NodeClass::Declare, lineno, std::move(directives), std::move(body));
}

constexpr HandlerEntry kControlHandlers[] = {
    {Kind::IfStatement, translate_if},
    {Kind::WhileStatement, translate_while},
    {Kind::DoStatement, translate_do},
    {Kind::ForStatement, translate_for},
    {Kind::ForeachStatement, translate_foreach},
    {Kind::SwitchStatement, translate_switch},
    {Kind::SwitchBlock, translate_switch_block},
    {Kind::CaseStatement, translate_case},
    {Kind::DefaultStatement, translate_case},
    {Kind::TryStatement, translate_try},
    {Kind::CatchClause, translate_catch},
    {Kind::FinallyClause, translate_finally},
    {Kind::DeclareStatement, translate_declare},
};

}  // namespace

HandlerList control_handlers() { return kControlHandlers; }

}  // namespace zarnu::translate
