// The shared child-translation operations.
#include "translate/helpers.h"

#include <algorithm>
#include <vector>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

// "self", "static" or "parent" in any letter case give the lowercase word;
// any other text is kept as written.
Ref class_word_or_text(TSNode node, Ctx& ctx) {
  const std::string lowered = lowered_text(node, ctx);
  if (lowered == "self" || lowered == "static" || lowered == "parent") {
    return or_none(ctx.str(lowered));
  }
  return or_none(text_str(node, ctx));
}

bool starts_with_dollar(TSNode node, const Ctx& ctx) {
  return text_of(node, ctx).starts_with('$');
}

}  // namespace

// Reading child i by index walks the children before it, so past this many
// children a cursor is cheaper.
constexpr uint32_t kMaxIndexedChildren = 4;

void Children::start(uint32_t count) {
  started_ = true;
  count_ = count;
  if (count_ > kMaxIndexedChildren) cursor_ = cursors_.cursor(level_, parent_);
}

bool Children::next_by_index(TSNode (*child_at)(TSNode, uint32_t)) {
  if (index_ >= count_) return false;
  node_ = child_at(parent_, index_++);
  return true;
}

bool Children::next() {
  if (!started_) start(ts_node_child_count(parent_));
  if (!cursor_) return next_by_index(ts_node_child);
  const bool moved = index_++ == 0 ? ts_tree_cursor_goto_first_child(cursor_)
                                   : ts_tree_cursor_goto_next_sibling(cursor_);
  if (moved) node_ = ts_tree_cursor_current_node(cursor_);
  return moved;
}

bool Children::next_named() {
  if (!started_) start(ts_node_named_child_count(parent_));
  // By index, tree-sitter passes over the tokens between named children
  // itself.
  if (!cursor_) return next_by_index(ts_node_named_child);
  while (next()) {
    if (ts_node_is_named(node_)) return true;
  }
  return false;
}

TSNode named_child(TSNode node, size_t index, const Ctx& ctx) {
  for (Children child(node, ctx); child.next_named();) {
    const TSNode current = child.node();
    if (is_comment(current, ctx)) continue;
    if (index == 0) return current;
    --index;
  }
  return TSNode{};
}

TSNode last_named_child(TSNode node, const Ctx& ctx) {
  TSNode last{};
  for (Children child(node, ctx); child.next_named();) {
    if (!is_comment(child.node(), ctx)) last = child.node();
  }
  return last;
}

TSNode first_child_of_kind(TSNode node, Kind kind, const Ctx& ctx) {
  for (Children child(node, ctx); child.next();) {
    if (ctx.kind(child.node()) == kind) return child.node();
  }
  return TSNode{};
}

bool is_comment(TSNode node, const Ctx& ctx) {
  return ctx.kind(node) == Kind::Comment;
}

Outcome translate_child(TSNode node, Ctx& ctx) {
  if (ts_node_is_null(node)) return Outcome::nothing();
  Outcome result = translate_with_ctx(node, ctx);
  if (result.failed()) return discard_error();
  return result;
}

Outcome try_translate_child(TSNode node, Ctx& ctx) {
  if (ts_node_is_null(node)) return Outcome::nothing();
  return translate_with_ctx(node, ctx);
}

Ref child_or_none(TSNode node, Ctx& ctx) {
  return translate_child(node, ctx).take_or_none();
}

Ref field_or_none(TSNode node, Field field, Ctx& ctx) {
  return child_or_none(ctx.field(node, field), ctx);
}

Ref first_child_or_none(TSNode node, Ctx& ctx) {
  return child_or_none(named_child(node, 0, ctx), ctx);
}

Ref translate_named_children(TSNode node, Ctx& ctx) {
  Ref list = Ref::steal(PyList_New(0));
  if (!list || ts_node_is_null(node)) return list;
  for (Children child(node, ctx); child.next_named();) {
    Outcome item = translate_child(child.node(), ctx);
    if (!item.has_value()) continue;
    if (PyList_Append(list.get(), item.get()) < 0) PyErr_Clear();
  }
  return fitted(std::move(list));
}

Ref try_translate_named_children(TSNode node, Ctx& ctx) {
  Ref list = Ref::steal(PyList_New(0));
  if (!list) return list;
  for (Children child(node, ctx); child.next_named();) {
    if (!append_item(list.get(), translate_with_ctx(child.node(), ctx))) return Ref();
  }
  return fitted(std::move(list));
}

Ref const_elements(TSNode declaration, NodeClass cls, uint64_t lineno, Ctx& ctx) {
  Ref constants = Ref::steal(PyList_New(0));
  if (!constants) return constants;
  for (Children child(declaration, ctx); child.next_named();) {
    const TSNode element = child.node();
    if (ctx.kind(element) != Kind::ConstElement) continue;
    Ref constant = ast::make(cls, lineno, text_or_empty(named_child(element, 0, ctx), ctx),
                             child_or_none(named_child(element, 1, ctx), ctx));
    if (!constant || PyList_Append(constants.get(), constant.get()) < 0) return Ref();
  }
  return constants;
}

bool opens_short_echo(TSNode tag, const Ctx& ctx) {
  return trim(text_of(tag, ctx)) == "<?=";
}

bool ends_in_short_echo(TSNode interpolation, const Ctx& ctx) {
  bool short_echo = false;
  for (Children child(interpolation, ctx); child.next();) {
    if (ctx.kind(child.node()) == Kind::PhpTag) short_echo = opens_short_echo(child.node(), ctx);
  }
  return short_echo;
}

Ref short_echo_of(Ref value, uint64_t lineno) {
  Ref items = Ref::steal(PyList_New(0));
  if (!items || !value || PyList_Append(items.get(), value.get()) < 0) return Ref();
  return ast::make(ast::NodeClass::Echo, lineno, std::move(items));
}

// Walked with a work list: a long sequence nests as deep as it is long.
Ref translate_sequence(TSNode node, Ctx& ctx) {
  Ref items = Ref::steal(PyList_New(0));
  if (!items) return items;
  std::vector<TSNode> pending{node};
  while (!pending.empty()) {
    const TSNode current = pending.back();
    pending.pop_back();
    if (ctx.kind(current) != Kind::SequenceExpression) {
      if (!append_item(items.get(), translate_with_ctx(current, ctx))) return Ref();
      continue;
    }
    const auto first = static_cast<std::ptrdiff_t>(pending.size());
    for (Children child(current, ctx); child.next_named();) pending.push_back(child.node());
    std::reverse(pending.begin() + first, pending.end());
  }
  return items;
}

bool append_spliced(PyObject* list, PyObject* value) {
  if (!PyList_Check(value)) return PyList_Append(list, value) == 0;
  const Py_ssize_t count = PyList_GET_SIZE(value);
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* item = PyList_GetItem(value, i);  // borrowed
    if (!item || PyList_Append(list, item) < 0) return false;
  }
  return true;
}

bool append_item(PyObject* list, const Outcome& item) {
  if (item.failed()) return false;
  if (item.is_nothing()) return true;
  return PyList_Append(list, item.get()) == 0;
}

bool append_statement(PyObject* list, const Outcome& item) {
  if (!item.has_value()) return append_item(list, item);
  return append_spliced(list, item.get());
}

void append_word(PyObject* list, Ref word) {
  if (!word || PyList_Append(list, word.get()) < 0) PyErr_Clear();
}

bool append_unwrapped(PyObject* list, Ref obj) {
  return append_spliced(list, unwrap_block_body(std::move(obj)).get());
}

// The object's attribute `name`, or the object itself when it has none.
// Plain values and our own nodes are answered without a lookup.
Ref attribute_or_self(Ref obj, PyObject* name) {
  PyObject* raw = obj.get();
  if (PyUnicode_CheckExact(raw) || PyList_CheckExact(raw) || raw == Py_None) return obj;
  Ref value = Ref::steal(PyObject_GetAttr(raw, name));
  if (value) return value;
  PyErr_Clear();
  return obj;
}

PyObject* block_statements(PyObject* obj) {
  return ast::is_instance(obj, NodeClass::Block) ? ast::field(obj, 0) : nullptr;
}

Ref unwrap_block_body(Ref obj) {
  if (PyObject* statements = block_statements(obj.get())) return Ref::borrow(statements);
  static PyObject* const nodes = interned("nodes");
  return attribute_or_self(std::move(obj), nodes);
}

Ref empty_block(uint64_t lineno) {
  return or_none(ast::make(NodeClass::Block, lineno, Ref::steal(PyList_New(0))));
}

Ref fitted(Ref list) {
  if (!list || reinterpret_cast<PyListObject*>(list.get())->allocated ==
                   PyList_GET_SIZE(list.get())) {
    return list;
  }
  // A slice is allocated at its exact length.
  Ref copy = Ref::steal(PyList_GetSlice(list.get(), 0, PyList_GET_SIZE(list.get())));
  if (!copy) {
    PyErr_Clear();
    return list;
  }
  return copy;
}

Ref or_none(Ref ref) {
  if (ref) return ref;
  PyErr_Clear();
  return Ref::none();
}

Outcome discard_error() {
  PyErr_Clear();
  return Outcome::nothing();
}

Ref scope_name(TSNode node, Ctx& ctx) {
  if (ts_node_is_null(node)) return ctx.str("");
  const Kind kind = ctx.kind(node);
  if (kind == Kind::VariableName || starts_with_dollar(node, ctx)) {
    return child_or_none(node, ctx);
  }
  return class_word_or_text(node, ctx);
}

Ref call_scope_name(TSNode node, Ctx& ctx) {
  if (ts_node_is_null(node)) return ctx.str("");
  const Kind kind = ctx.kind(node);
  if (kind == Kind::VariableName || kind == Kind::DynamicVariableName) {
    return child_or_none(node, ctx);
  }
  return class_word_or_text(node, ctx);
}

Ref variable_as_written(TSNode node, const Ctx& ctx, uint64_t lineno) {
  return or_none(ast::make(NodeClass::Variable, lineno, text_str(node, ctx)));
}

Ref property_scope_name(TSNode node, Ctx& ctx, uint64_t lineno) {
  if (ts_node_is_null(node)) return ctx.str("");
  const Kind kind = ctx.kind(node);
  const bool variable =
      kind == Kind::VariableName || kind == Kind::DynamicVariableName;
  if (starts_with_dollar(node, ctx)) return variable_as_written(node, ctx, lineno);
  if (variable) return child_or_none(node, ctx);
  return class_word_or_text(node, ctx);
}

Ref member_name(TSNode node, Ctx& ctx) {
  const TSNode name = ctx.field(node, Field::Name);
  if (ts_node_is_null(name) || ctx.kind(name) != Kind::VariableName) {
    return text_or_empty(name, ctx);
  }
  Outcome value = translate_with_ctx(name, ctx);
  if (value.failed()) return Ref();
  return std::move(value).take_or_none();
}

Ref name_or_self(Ref obj) {
  if (ast::is_instance(obj.get(), NodeClass::Constant) ||
      ast::is_instance(obj.get(), NodeClass::MagicConstant)) {
    return Ref::borrow(ast::field(obj.get(), 0));
  }
  static PyObject* const name = interned("name");
  return attribute_or_self(std::move(obj), name);
}

Outcome primitive_type_text(TSNode node, Ctx& ctx) {
  const TSNode type = first_child_of_kind(node, Kind::PrimitiveType, ctx);
  if (ts_node_is_null(type)) return Outcome::nothing();
  return text_str(type, ctx);
}

bool is_block(PyObject* obj) { return ast::is_instance(obj, NodeClass::Block); }

bool is_name_node(TSNode node, const Ctx& ctx) {
  const Kind kind = ctx.kind(node);
  return kind == Kind::Name || kind == Kind::QualifiedName ||
         kind == Kind::RelativeName;
}

bool is_first_class_callable(TSNode node, const Ctx& ctx) {
  // Every call's arguments come here, so the walk stops at the first operand
  // that rules the placeholder out.
  bool placeholder = false;
  for (Children child(node, ctx); child.next_named();) {
    const Kind kind = ctx.kind(child.node());
    if (kind == Kind::Comment) continue;
    if (placeholder || kind != Kind::VariadicPlaceholder) return false;
    placeholder = true;
  }
  return placeholder;
}

bool has_reference_modifier(TSNode node, const Ctx& ctx) {
  return !ts_node_is_null(first_child_of_kind(node, Kind::ReferenceModifier, ctx));
}

}  // namespace zarnu::translate
