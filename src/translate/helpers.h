// Operations that the kind translations share for translating children,
// collecting their translations into lists and reading them. What each does
// with a child's failure is its contract: translate_child, the *_or_none
// operands, translate_named_children, append_word and the scope operands
// drop it (the child counts as nothing or None); the try_* operations,
// translate_sequence, member_name and the other append_* hand it on. A
// too-deep tree is never dropped: DepthExceeded unwinds through all of them.
#pragma once

#include <Python.h>
#include <tree_sitter/api.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "ast/node.h"
#include "lib/ref.h"
#include "translate/context.h"
#include "translate/translate.h"

namespace zarnu::translate {

// Walks the children of one node in source order. A few children are read
// by index, which costs tree-sitter less than moving a cursor; more take a
// cursor of the context's cursor stack.
//
//   for (Children child(node, ctx); child.next_named();) use(child.node());
class Children {
 public:
  Children(TSNode parent, const Ctx& ctx)
      : cursors_(ctx.cursors()), level_(cursors_.push()), parent_(parent) {}
  ~Children() { cursors_.pop(); }
  Children(const Children&) = delete;
  Children& operator=(const Children&) = delete;

  // Moves to the next child (the first on the first call); false past the
  // last one.
  bool next();
  // The same, passing over anonymous tokens such as "(" and ",". A walk
  // moves either with next() or with next_named().
  bool next_named();
  TSNode node() const { return node_; }

 private:
  CursorStack& cursors_;
  const size_t level_;
  const TSNode parent_;
  TSNode node_{};
  TSTreeCursor* cursor_ = nullptr;
  uint32_t count_ = 0;
  uint32_t index_ = 0;
  bool started_ = false;

  // Takes the way of walking for `count` children (or named children).
  void start(uint32_t count);
  // The next of the `count_` children that `child_at` reads by index.
  bool next_by_index(TSNode (*child_at)(TSNode, uint32_t));
};

// The index-th named child that is not a comment; a null node when there is
// none. Comments are named children in the grammar, but a comment between
// the parts of a construct must not take the place of an operand:
// `(/* why */ $a)` is `$a`.
TSNode named_child(TSNode node, size_t index, const Ctx& ctx);

// The last named child that is not a comment; a null node when there is none.
TSNode last_named_child(TSNode node, const Ctx& ctx);

// The first child, named or not, of kind `kind`; a null node when there is none.
TSNode first_child_of_kind(TSNode node, Kind kind, const Ctx& ctx);

// Comments are named children, yet never stand for an operand or a member.
bool is_comment(TSNode node, const Ctx& ctx);

// --- Translating children ---------------------------------------------------

// The child's translation; a failure, or a null node, gives nothing.
Outcome translate_child(TSNode node, Ctx& ctx);

// The child's translation, failure included; a null node gives nothing.
Outcome try_translate_child(TSNode node, Ctx& ctx);

// New reference to the child's translation; None when the node is null, the
// child gives nothing or it fails (the error consumed).
Ref child_or_none(TSNode node, Ctx& ctx);

// child_or_none of the child in grammar field `field`.
Ref field_or_none(TSNode node, Field field, Ctx& ctx);

// child_or_none of the first named child that is not a comment.
Ref first_child_or_none(TSNode node, Ctx& ctx);

// A new list of the translations of the node's named children in order; an
// empty one for a null node. Children that fail or give nothing are left
// out, a list result is one item. NULL (exception set) only when the list
// itself cannot be made.
Ref translate_named_children(TSNode node, Ctx& ctx);

// The same, except that a child's failure fails the whole list: a new list,
// or NULL with the exception set.
Ref try_translate_named_children(TSNode node, Ctx& ctx);

// `$a, $b, $c` -> [Variable("$a"), Variable("$b"), Variable("$c")]: a new
// list of the operands of a comma-separated sequence, flat whatever its
// nesting; NULL with the exception set when an operand fails.
Ref translate_sequence(TSNode node, Ctx& ctx);

// The constants of `const A = 1, B = 2;` as `cls(name, value)` nodes, all
// with that line: ClassConstant in a class body, ConstantDeclaration
// elsewhere. A new list, or NULL with the exception set.
Ref const_elements(TSNode declaration, ast::NodeClass cls, uint64_t lineno, Ctx& ctx);

// "<?=" opens a short echo; any other opening tag closes it.
bool opens_short_echo(TSNode tag, const Ctx& ctx);

// Whether a "?>...<?" region ends in the short echo tag "<?=", whose output
// is the statement that follows it.
bool ends_in_short_echo(TSNode interpolation, const Ctx& ctx);

// Echo([value]) with that line number: the output of a "<?=" tag. NULL with
// the exception set on failure.
Ref short_echo_of(Ref value, uint64_t lineno);

// --- Collecting translations into lists -------------------------------------

// Appends `value` (borrowed) to `list`, a list value item by item, one level
// deep. False with the exception set on failure; items appended before stay.
bool append_spliced(PyObject* list, PyObject* value);

// Appends a translation as one item; nothing adds nothing. False with the
// exception set when the translation failed or the append fails.
bool append_item(PyObject* list, const Outcome& item);

// append_item, except that a list value gives its items (append_spliced).
bool append_statement(PyObject* list, const Outcome& item);

// Appends `word` (consumed) best effort: a NULL word or a failed append is
// left out with its error cleared, so that a declaration's header words
// cannot fail the declaration.
void append_word(PyObject* list, Ref word);

// Appends `obj` to `list`: a Block's statements (anything with `nodes`) or a
// list's items one by one, any other object as one item. False with the
// exception set on failure; items appended before it stay.
bool append_unwrapped(PyObject* list, Ref obj);

// The object's `nodes` attribute when it has one (a Block's statements),
// else the object itself.
Ref unwrap_block_body(Ref obj);

// `list`, or a copy of it without the spare room that appending leaves, for
// a finished list that a node keeps.
// Never fails: without memory for the copy, `list` itself.
Ref fitted(Ref list);

// A new empty Block with that line number; None when it cannot be made.
Ref empty_block(uint64_t lineno);

// `ref` itself, or None with the pending error cleared when it is NULL.
Ref or_none(Ref ref);

// Consumes the pending exception; the failed child counts as nothing.
Outcome discard_error();

// --- Scope operands of `X::...` ----------------------------------------------
// Each returns an object, never NULL: a failed translation gives None and a
// missing scope (a null node) "". A scope that is a class word gives it
// lowercased ("self", "static", "parent"); any other name gives its text as
// written.

// The scope of a class constant access `X::C`: variables are translated.
Ref scope_name(TSNode node, Ctx& ctx);

// The scope of a static call `X::m()`: variable names are translated, any
// other text is kept as written.
Ref call_scope_name(TSNode node, Ctx& ctx);

// The scope of a static property `X::$p`: a variable becomes
// Variable(its text as written) with the expression's line number.
Ref property_scope_name(TSNode node, Ctx& ctx, uint64_t lineno);

// Variable(the node's text as written) with that line, for the `$x` of
// `$x::$p` and `A::$p`, which are read as written rather than translated;
// None when it cannot be made.
Ref variable_as_written(TSNode node, const Ctx& ctx, uint64_t lineno);

// The member name in the `name` field of `$o->p`, `$o->m()` and `A::m()`: a
// new reference. A variable (`$o->$m`) is translated and NULL with its
// exception set when that fails; any other name is its text as written; ""
// when there is none.
Ref member_name(TSNode node, Ctx& ctx);

// --- Reading kinds and translated objects -----------------------------------

// The `name` of a translated name (a Constant's) as a new reference; `obj`
// itself, the error cleared, when it has none (a class word is a plain str).
Ref name_or_self(Ref obj);

// The text of the node's first child of kind primitive_type, as a str;
// nothing when there is none.
Outcome primitive_type_text(TSNode node, Ctx& ctx);

// Whether a translated object is a Block node. Never fails.
bool is_block(PyObject* obj);

// The statements of a Block (its `nodes`, borrowed); NULL for anything that
// is not a Block.
PyObject* block_statements(PyObject* obj);

// The kind is name, qualified_name or relative_name.
bool is_name_node(TSNode node, const Ctx& ctx);

// The node has exactly one named child, a variadic_placeholder: `f(...)`.
bool is_first_class_callable(TSNode node, const Ctx& ctx);

// Some child of the node, named or not, is a reference_modifier ("&").
bool has_reference_modifier(TSNode node, const Ctx& ctx);

}  // namespace zarnu::translate
