// The shared child-translation operations.
#include "translate/helpers.h"

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

bool is_comment(TSNode node, const Ctx& ctx) {
  return ctx.kind(node) == Kind::Comment;
}

// `ref`, or None (the error consumed) when it is NULL.
Ref or_none(Ref ref) {
  if (ref) return ref;
  PyErr_Clear();
  return Ref::none();
}

Ref translated_or_none(TSNode node, Ctx& ctx) {
  return translate_child(node, ctx).take_or_none();
}

// "self", "static" or "parent" in any letter case give the lowercase word;
// any other text is kept as written.
Ref class_word_or_text(TSNode node, Ctx& ctx) {
  const std::string lowered = lowered_text(node, ctx);
  if (lowered == "self" || lowered == "static" || lowered == "parent") {
    return or_none(make_str(lowered));
  }
  return or_none(text_str(node, ctx));
}

bool starts_with_dollar(TSNode node, const Ctx& ctx) {
  return text_of(node, ctx).starts_with('$');
}

}  // namespace

bool Children::next() {
  if (started_) return ts_tree_cursor_goto_next_sibling(&cursor_);
  started_ = true;
  return ts_tree_cursor_goto_first_child(&cursor_);
}

bool Children::next_named() {
  while (next()) {
    if (ts_node_is_named(node())) return true;
  }
  return false;
}

size_t Children::skip_named(size_t count) {
  while (count > 0 && next_named()) --count;
  return count;
}

TSNode named_child(TSNode node, size_t index, const Ctx& ctx) {
  for (Children child(node); child.next_named();) {
    const TSNode current = child.node();
    if (is_comment(current, ctx)) continue;
    if (index == 0) return current;
    --index;
  }
  return TSNode{};
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

Ref translate_named_children(TSNode node, Ctx& ctx) {
  Ref list = Ref::steal(PyList_New(0));
  if (!list) return list;
  for (Children child(node); child.next_named();) {
    Outcome item = translate_child(child.node(), ctx);
    if (!item.has_value()) continue;
    if (PyList_Append(list.get(), item.get()) < 0) PyErr_Clear();
  }
  return list;
}

Outcome translate_first_named_child(TSNode node, Ctx& ctx) {
  return translate_child(named_child(node, 0, ctx), ctx);
}

Outcome condition_or_else(Outcome present, TSNode node, Ctx& ctx) {
  if (present.has_value()) return present;
  return translate_child(ctx.field(node, Field::Condition), ctx);
}

bool append_unwrapped(PyObject* list, Ref obj) {
  Ref body = unwrap_block_body(std::move(obj));
  if (!PyList_Check(body.get())) return PyList_Append(list, body.get()) == 0;
  const Py_ssize_t count = PyList_GET_SIZE(body.get());
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* item = PyList_GetItem(body.get(), i);  // borrowed
    if (!item || PyList_Append(list, item) < 0) return false;
  }
  return true;
}

Ref unwrap_block_body(Ref obj) {
  Ref nodes = Ref::steal(PyObject_GetAttrString(obj.get(), "nodes"));
  if (nodes) return nodes;
  PyErr_Clear();
  return obj;
}

Ref empty_block(uint64_t lineno) {
  return or_none(ast::make(NodeClass::Block, lineno, Ref::steal(PyList_New(0))));
}

Outcome discard_error() {
  PyErr_Clear();
  return Outcome::nothing();
}

Ref scope_name(TSNode node, Ctx& ctx) {
  const Kind kind = ctx.kind(node);
  if (kind == Kind::VariableName || starts_with_dollar(node, ctx)) {
    return translated_or_none(node, ctx);
  }
  return class_word_or_text(node, ctx);
}

Ref call_scope_name(TSNode node, Ctx& ctx) {
  const Kind kind = ctx.kind(node);
  if (kind == Kind::VariableName || kind == Kind::DynamicVariableName) {
    return translated_or_none(node, ctx);
  }
  return class_word_or_text(node, ctx);
}

Ref property_scope_name(TSNode node, Ctx& ctx, uint64_t lineno) {
  const Kind kind = ctx.kind(node);
  const bool variable =
      kind == Kind::VariableName || kind == Kind::DynamicVariableName;
  if (starts_with_dollar(node, ctx)) {
    return or_none(ast::make(NodeClass::Variable, lineno, text_str(node, ctx)));
  }
  if (variable) return translated_or_none(node, ctx);
  return class_word_or_text(node, ctx);
}

Outcome primitive_type_text(TSNode node, Ctx& ctx) {
  for (Children child(node); child.next();) {
    if (ctx.kind(child.node()) == Kind::PrimitiveType) {
      return text_str(child.node(), ctx);
    }
  }
  return Outcome::nothing();
}

Ref type_name(Ref obj) {
  return Ref::steal(PyObject_GetAttrString(obj.get(), "__name__"));
}

bool extract_text(Ref obj, std::string& text) {
  if (!PyUnicode_Check(obj.get())) {
    raise_not_instance(obj.get(), "str");
    return false;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(obj.get(), &size);
  if (!data) return false;
  text.assign(data, static_cast<size_t>(size));
  return true;
}

bool is_block(PyObject* obj) {
  Ref name = type_name(Ref::borrow(reinterpret_cast<PyObject*>(Py_TYPE(obj))));
  std::string text;
  if (!name || !extract_text(std::move(name), text)) {
    PyErr_Clear();
    return false;
  }
  return text == "Block";
}

bool is_name_node(TSNode node, const Ctx& ctx) {
  const Kind kind = ctx.kind(node);
  return kind == Kind::Name || kind == Kind::QualifiedName ||
         kind == Kind::RelativeName;
}

bool is_first_class_callable(TSNode node, const Ctx& ctx) {
  size_t count = 0;
  bool placeholder = false;
  for (Children child(node); child.next_named();) {
    const Kind kind = ctx.kind(child.node());
    if (kind == Kind::Comment) continue;
    ++count;
    placeholder = placeholder || kind == Kind::VariadicPlaceholder;
  }
  return count == 1 && placeholder;
}

bool has_reference_modifier(TSNode node, const Ctx& ctx) {
  for (Children child(node); child.next();) {
    if (ctx.kind(child.node()) == Kind::ReferenceModifier) return true;
  }
  return false;
}

}  // namespace zarnu::translate
