// String literals: 'x', "x", heredoc, nowdoc and `x`. A literal is cut into
// parts, text pieces decoded by unescape_string (escapes.cpp) and the
// translations of the expressions interpolated into it; the parts are then
// reduced to one value: a str, the one part itself, or a chain of "." joins.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ast/node.h"
#include "lib/errors.h"
#include "translate/escapes.h"
#include "translate/handlers.h"
#include "translate/helpers.h"
#include "translate/text.h"

namespace zarnu::translate {

using ast::NodeClass;

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// One stretch of the text that a heredoc line reparse reads, placed at its
// offset in the source.
struct Piece {
  uint32_t start;
  std::string text;
};

const char* read_pieces(void* payload, uint32_t byte_index, TSPoint,
                        uint32_t* bytes_read) {
  for (const Piece& piece : *static_cast<const std::vector<Piece>*>(payload)) {
    if (byte_index >= piece.start && byte_index - piece.start < piece.text.size()) {
      const uint32_t offset = byte_index - piece.start;
      *bytes_read = static_cast<uint32_t>(piece.text.size()) - offset;
      return piece.text.data() + offset;
    }
  }
  *bytes_read = 0;
  return "";
}

// A stretch of the source and the point where it starts.
struct Span {
  uint32_t start;
  uint32_t end;
  TSPoint point;
};

// `heredoc` parsed again as its opener, `line` and `closer` (the closing
// line with the line break before it) alone, so that the line is the only
// one of the body. The tree keeps the offsets and lines of the source; null
// when there is none. An opening tag before the heredoc and a ";" after it
// are made up, as the grammar needs them to read a heredoc at all.
TreePtr reparse_line(TSNode heredoc, uint32_t opener_end, Span line, Span closer,
                     const Ctx& ctx) {
  TreePtr tree(nullptr, ts_tree_delete);
  const uint32_t start = ts_node_start_byte(heredoc);
  const uint32_t end = ts_node_end_byte(heredoc);
  const std::string_view source = ctx.source();
  if (start < 2 || opener_end > line.start || line.end > closer.start ||
      closer.end != end || end > source.size()) {
    return tree;
  }
  const TSPoint start_point = ts_node_start_point(heredoc);
  const TSPoint end_point = ts_node_end_point(heredoc);
  const TSRange ranges[] = {
      {start_point, start_point, start - 2, start},
      {start_point, {start_point.row + 1, 0}, start, opener_end},
      {line.point, closer.point, line.start, line.end},
      {closer.point, end_point, closer.start, end},
      {end_point, {end_point.row, end_point.column + 1}, end, end + 1},
  };
  const auto copy = [&](uint32_t from, uint32_t to) {
    const std::string_view text = source.substr(from, to - from);
    Piece piece{from, {}};
    if (!with_stand_ins(text, piece.text)) piece.text.assign(text);
    return piece;
  };
  std::vector<Piece> pieces{
      {start - 2, "<?"},       copy(start, opener_end), copy(line.start, line.end),
      copy(closer.start, end), {end, ";"},
  };
  ParserPtr parser(ts_parser_new(), ts_parser_delete);
  if (!ts_parser_set_language(parser.get(), ctx.grammar().language()) ||
      !ts_parser_set_included_ranges(parser.get(), ranges, std::size(ranges))) {
    return tree;
  }
  const TSInput input{&pieces, read_pieces, TSInputEncodingUTF8, nullptr};
  tree.reset(ts_parser_parse(parser.get(), nullptr, input));
  return tree;
}

// The body of the heredoc that starts at `start` in `tree`; a null node when
// the tree has no such heredoc or it has no body.
TSNode body_at(const TSTree* tree, uint32_t start, const Ctx& ctx) {
  const TSNode heredoc = ts_node_parent(
      ts_node_descendant_for_byte_range(ts_tree_root_node(tree), start, start + 1));
  if (ts_node_is_null(heredoc) || ctx.kind(heredoc) != Kind::Heredoc) return TSNode{};
  return first_child_of_kind(heredoc, Kind::HeredocBody, ctx);
}

// The parts of one literal as its children are walked. The end mark is where
// the source text taken so far ends: a text piece runs from there to the end
// of the child that closes it, so text the grammar left out of every child
// (white space after an interpolated variable, the line break between two
// lines of a heredoc) is in the next piece and no text is taken twice.
class StringWalk {
 public:
  StringWalk(Ctx& ctx, Quoting quoting) : ctx_(ctx), quoting_(quoting) {}

  // A heredoc or nowdoc holds the lines between its opener and its closing
  // line, less the closing marker's indentation, as PHP 7.3 has it. The
  // grammar leaves blank lines at either end of the body out of every child,
  // so the text is framed by the lines themselves, not by the body's
  // children.
  void frame_heredoc(TSNode node);

  // Walks the children of `node` into the parts. False with the exception
  // set when an interpolated expression fails to translate.
  bool walk(TSNode node);

  // Adds what follows the last child of a heredoc and ends the last text
  // part. False with the exception set on failure.
  bool finish();

  std::vector<Ref> take_parts() { return std::move(parts_); }

 private:
  bool add_gap(TSNode next);
  bool add_brace_group(TSNode middle);
  bool add_interpolation(TSNode child);
  bool add_text_piece(TSNode child);
  bool add_comment_line(TSNode comment);
  bool add_text(uint32_t start, uint32_t end);
  bool add_part(Ref part);
  bool flush_text();
  std::string piece_source(uint32_t start, uint32_t end) const;

  Ctx& ctx_;
  const Quoting quoting_;
  std::optional<uint32_t> end_mark_;
  std::vector<Ref> parts_;
  // The last part while it is text that further pieces may extend; it
  // becomes a str when another part follows or the walk ends.
  std::optional<std::string> text_;
  // Heredoc and nowdoc: where the first line begins, where the last line
  // ends, and the closing marker's indentation.
  uint32_t content_start_ = 0;
  std::optional<uint32_t> content_end_;
  uint32_t indent_ = 0;
  // The heredoc framed, and whether a line of it is being read again.
  TSNode heredoc_{};
  bool rereading_ = false;
};

void StringWalk::frame_heredoc(TSNode node) {
  TSNode opener{};
  TSNode closer{};
  for (Children child(node, ctx_); child.next();) {
    const Kind kind = ctx_.kind(child.node());
    if (kind == Kind::HeredocStart && ts_node_is_null(opener)) opener = child.node();
    if (kind == Kind::HeredocEnd) closer = child.node();
  }
  if (ts_node_is_null(opener)) return;
  const std::string_view source = ctx_.source();
  const uint32_t limit = std::min<uint32_t>(ts_node_end_byte(node), source.size());
  uint32_t line_break = ts_node_end_byte(opener);
  while (line_break < limit && source[line_break] != '\n') ++line_break;
  if (line_break >= limit) return;
  heredoc_ = node;
  content_start_ = line_break + 1;
  end_mark_ = content_start_;

  if (ts_node_is_null(closer) || ts_node_is_missing(closer)) return;
  const uint32_t marker = ts_node_start_byte(closer);
  if (marker < content_start_ || marker > limit) return;
  uint32_t line = marker;
  while (line > content_start_ && is_blank(source[line - 1])) --line;
  if (source[line - 1] != '\n') return;
  indent_ = marker - line;
  uint32_t end = line - 1;
  if (end > content_start_ && source[end - 1] == '\r') --end;
  content_end_ = end;
}

// The children are looked at by index because a brace group is recognised
// by the child two places on.
bool StringWalk::walk(TSNode node) {
  std::vector<TSNode> children;
  for (Children child(node, ctx_); child.next();) children.push_back(child.node());
  for (size_t i = 0; i < children.size(); ++i) {
    const TSNode child = children[i];
    switch (ctx_.kind(child)) {
      case Kind::OpenBrace:
        // "{$expr}"; a "{" without its "}" two places on is left to the
        // next piece as text.
        if (i + 2 < children.size() &&
            ctx_.kind(children[i + 2]) == Kind::CloseBrace) {
          if (!add_gap(child) || !add_brace_group(children[i + 1])) return false;
          end_mark_ = ts_node_end_byte(children[i + 2]);
          i += 2;
        }
        break;
      case Kind::CloseBrace:
      case Kind::HeredocStart:
      case Kind::HeredocEnd:
      case Kind::NamespaceName:
        break;
      case Kind::HeredocBody:
      case Kind::NowdocBody:
        if (!walk(child)) return false;
        break;
      case Kind::StringContent:
      case Kind::EscapeSequence:
      case Kind::NowdocString:
      case Kind::Error:
        if (!add_text_piece(child)) return false;
        break;
      case Kind::Comment:
        if (!add_comment_line(child)) return false;
        break;
      default:
        // Quotes and other tokens are not text of their own: one that
        // stands between two handled children falls into the next piece.
        if (!ts_node_is_named(child)) break;
        if (!add_gap(child) || !add_interpolation(child)) return false;
        end_mark_ = ts_node_end_byte(child);
        break;
    }
  }
  return true;
}

bool StringWalk::finish() {
  if (content_end_ && end_mark_ && !add_text(*end_mark_, *content_end_)) {
    return false;
  }
  return flush_text();
}

// The text between the last handled child and an interpolation, which the
// grammar leaves out of every child: the blank lines that open a heredoc
// before "$a", the line break between "x" and "$a" in one.
bool StringWalk::add_gap(TSNode next) {
  if (!end_mark_) return true;
  const uint32_t start = *end_mark_;
  end_mark_ = ts_node_start_byte(next);
  return add_text(start, *end_mark_);
}

// "{$a}" -> Variable("$a"); "{$$a}" -> Variable(Variable("$a")). An
// expression that gives nothing is the part None.
bool StringWalk::add_brace_group(TSNode middle) {
  if (!ts_node_is_named(middle)) return true;
  Outcome value = translate_with_ctx(middle, ctx_);
  if (value.failed()) return false;
  return add_part(std::move(value).take_or_none());
}

// "$a", "$a[0]", "$o->p": the expression's translation; nothing adds no part.
bool StringWalk::add_interpolation(TSNode child) {
  Outcome value = translate_with_ctx(child, ctx_);
  if (value.failed()) return false;
  if (value.is_nothing()) return true;
  return add_part(std::move(value).take());
}

bool StringWalk::add_text_piece(TSNode child) {
  const uint32_t end = ts_node_end_byte(child);
  const uint32_t start = end_mark_.value_or(ts_node_start_byte(child));
  end_mark_ = end;
  return add_text(start, end);
}

// A heredoc body line that opens with "#" or "//" after an earlier line,
// which the grammar may take for a comment: it is heredoc text all the same,
// interpolations included. The heredoc is parsed again with that line as its
// only body line, which the grammar then reads as body. Whatever that still
// leaves out is kept as text.
bool StringWalk::add_comment_line(TSNode comment) {
  const uint32_t comment_start = ts_node_start_byte(comment);
  const uint32_t comment_end = ts_node_end_byte(comment);
  if (!rereading_ && !ts_node_is_null(heredoc_) && content_end_ &&
      comment_start >= content_start_ && comment_end <= *content_end_) {
    // From the start of the line when only indentation stands before the
    // comment, so that the indentation is measured against the closer's.
    const std::string_view source = ctx_.source();
    uint32_t line_start = comment_start;
    while (line_start > content_start_ && is_blank(source[line_start - 1])) --line_start;
    if (line_start > content_start_ && source[line_start - 1] != '\n') {
      line_start = comment_start;
    }
    TSPoint line_point = ts_node_start_point(comment);
    line_point.column -= comment_start - line_start;
    uint32_t last_line = *content_end_;
    while (last_line > content_start_ && source[last_line - 1] != '\n') --last_line;
    const TSPoint closer_point{ts_node_end_point(heredoc_).row - 1,
                               *content_end_ - last_line};
    const TreePtr tree =
        reparse_line(heredoc_, content_start_, {line_start, comment_end, line_point},
                     {*content_end_, ts_node_end_byte(heredoc_), closer_point}, ctx_);
    const TSNode body = tree ? body_at(tree.get(), ts_node_start_byte(heredoc_), ctx_)
                             : TSNode{};
    if (!ts_node_is_null(body)) {
      rereading_ = true;
      const bool walked = walk(body);
      rereading_ = false;
      if (!walked) return false;
    }
  }
  if (end_mark_ && *end_mark_ >= comment_end) return true;
  return add_text_piece(comment);
}

// A piece that comes to nothing, being all heredoc indentation, adds no
// part: "  $a" in an indented heredoc is the variable alone.
bool StringWalk::add_text(uint32_t start, uint32_t end) {
  if (end <= start) return true;
  std::string text = unescape_string(piece_source(start, end), quoting_);
  if (text.empty()) return true;
  if (text_) {
    *text_ += text;
    return true;
  }
  // An interpolated part that is a str is not joined onto the text before
  // it, but the text after it is joined onto it.
  if (!parts_.empty() && PyUnicode_Check(parts_.back().get())) {
    Ref tail = make_str(text);
    if (!tail) return false;
    Ref joined = Ref::steal(PyUnicode_Concat(parts_.back().get(), tail.get()));
    if (!joined) return false;
    parts_.back() = std::move(joined);
    return true;
  }
  text_ = std::move(text);
  return true;
}

bool StringWalk::add_part(Ref part) {
  if (!flush_text()) return false;
  parts_.push_back(std::move(part));
  return true;
}

bool StringWalk::flush_text() {
  if (!text_) return true;
  Ref text = ctx_.str(*text_);
  text_.reset();
  if (!text) return false;
  parts_.push_back(std::move(text));
  return true;
}

// Source bytes [start, end), without the closing marker's indentation at the
// start of each line. PHP removes it before reading escapes, so "\t" at the
// start of a line is kept.
std::string StringWalk::piece_source(uint32_t start, uint32_t end) const {
  const std::string_view raw = source_slice(ctx_, start, end);
  if (indent_ == 0 || raw.empty()) return std::string(raw);
  // How much indentation is still to go where the piece starts: a piece
  // may start within a line's indentation.
  const std::string_view source = ctx_.source();
  uint32_t line = start;
  while (line > content_start_ && is_blank(source[line - 1])) --line;
  const bool at_line_start =
      line == content_start_ || (line > 0 && source[line - 1] == '\n');
  uint32_t to_strip = 0;
  if (at_line_start && start - line < indent_) to_strip = indent_ - (start - line);

  std::string text;
  text.reserve(raw.size());
  for (const char c : raw) {
    if (c == '\n') {
      text += c;
      to_strip = indent_;
    } else if (to_strip > 0 && is_blank(c)) {
      --to_strip;
    } else {
      text += c;
      to_strip = 0;
    }
  }
  return text;
}

// --- Reducing the parts ------------------------------------------------------

// A double in plain positional notation with the shortest digits that read
// back as the same double: 1.0 -> "1", 1e21 -> "1" and 21 zeros, 1e-7 ->
// "0.0000001", -0.0 -> "-0".
std::string double_text(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  // Shortest round-trip digits come in scientific form, "-1.2345e+02";
  // they are laid out again without the exponent.
  char buffer[64];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view form(buffer, written.ptr - buffer);
  const size_t e = form.find('e');
  std::string digits;
  bool negative = false;
  for (const char c : form.substr(0, e)) {
    if (c == '-') negative = true;
    if (c >= '0' && c <= '9') digits += c;
  }
  int exponent = 0;
  std::string_view exponent_text = form.substr(e + 1);
  if (exponent_text.starts_with('+')) exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(),
                  exponent);
  // Digits before the decimal point.
  const long point = static_cast<long>(exponent) + 1;
  const long count = static_cast<long>(digits.size());
  std::string text = negative ? "-" : "";
  if (point <= 0) {
    text += "0.";
    text.append(static_cast<size_t>(-point), '0');
    text += digits;
  } else if (point >= count) {
    text += digits;
    text.append(static_cast<size_t>(point - count), '0');
  } else {
    text.append(digits, 0, static_cast<size_t>(point));
    text += '.';
    text.append(digits, static_cast<size_t>(point));
  }
  return text;
}

enum class Literal { Yes, No, Failed };

// Appends the text of a literal part: a str as it is, an integer in the
// signed 64-bit range (a bool among them) as its decimal digits, a float or
// a larger integer as double_text gives it. No for any other part.
Literal append_literal(PyObject* part, std::string& out) {
  if (PyUnicode_Check(part)) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(part, &size);
    if (!data) return Literal::Failed;
    out.append(data, static_cast<size_t>(size));
    return Literal::Yes;
  }
  double value = 0;
  if (PyLong_Check(part)) {
    int overflow = 0;
    const long long integer = PyLong_AsLongLongAndOverflow(part, &overflow);
    if (integer == -1 && PyErr_Occurred()) return Literal::Failed;
    if (overflow == 0) {
      out += std::to_string(integer);
      return Literal::Yes;
    }
    value = PyLong_AsDouble(part);
    if (value == -1.0 && PyErr_Occurred()) {
      if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return Literal::Failed;
      PyErr_Clear();
      return Literal::No;
    }
  } else if (PyFloat_Check(part)) {
    value = PyFloat_AS_DOUBLE(part);
  } else {
    return Literal::No;
  }
  out += double_text(value);
  return Literal::Yes;
}

// No parts: "". One part: that part. Literal parts: one str. Otherwise the
// parts joined from the left, "a$b c" -> BinaryOp(".", BinaryOp(".", "a",
// Variable("$b")), " c"), each join without a line number. A new reference,
// or NULL with the exception set.
Ref build_string_result(std::vector<Ref> parts) {
  if (parts.empty()) return make_str("");
  if (parts.size() == 1) return std::move(parts.front());
  std::string text;
  bool literal = true;
  for (const Ref& part : parts) {
    const Literal kind = append_literal(part.get(), text);
    if (kind == Literal::Failed) return Ref();
    if (kind == Literal::No) {
      literal = false;
      break;
    }
  }
  if (literal) return make_str(text);
  Ref joined = std::move(parts.front());
  for (size_t i = 1; i < parts.size(); ++i) {
    joined = ast::make(NodeClass::BinaryOp, std::nullopt, make_str("."),
                       std::move(joined), std::move(parts[i]));
    if (!joined) return Ref();
  }
  return joined;
}

// The value of one literal. A new reference, or NULL with the exception set.
Ref process_encapsed_parts(TSNode node, Ctx& ctx, Quoting quoting) {
  StringWalk walk(ctx, quoting);
  if (quoting == Quoting::Heredoc || quoting == Quoting::Nowdoc) {
    walk.frame_heredoc(node);
  }
  if (!walk.walk(node) || !walk.finish()) return Ref();
  return build_string_result(walk.take_parts());
}

// A quoted literal reads escapes as a double-quoted one when it opens with
// `"`, also behind the binary-string prefix: b"a\n" has a line feed.
Quoting quoting_of(TSNode node, const Ctx& ctx) {
  std::string_view text = trim(text_of(node, ctx));
  if (text.starts_with('b') || text.starts_with('B')) text.remove_prefix(1);
  return text.starts_with('"') ? Quoting::Double : Quoting::Single;
}

// 'a', "a", "a$b", b'a' -> the literal's value
Outcome translate_quoted_string(TSNode node, Ctx& ctx, uint64_t) {
  return process_encapsed_parts(node, ctx, quoting_of(node, ctx));
}

// <<<EOT ... EOT, <<<"EOT" ... EOT -> the literal's value
Outcome translate_heredoc(TSNode node, Ctx& ctx, uint64_t) {
  return process_encapsed_parts(node, ctx, Quoting::Heredoc);
}

// <<<'EOT' ... EOT -> the text as written
Outcome translate_nowdoc(TSNode node, Ctx& ctx, uint64_t) {
  return process_encapsed_parts(node, ctx, Quoting::Nowdoc);
}

// `ls $d` -> FunctionCall("shell_exec", [Parameter(BinaryOp(".", "ls ",
// Variable("$d")), False)])
Outcome translate_shell_command(TSNode node, Ctx& ctx, uint64_t lineno) {
  Ref command = process_encapsed_parts(node, ctx, Quoting::Backtick);
  if (!command) return Outcome::failure();
  Ref parameter =
      ast::make(NodeClass::Parameter, lineno, std::move(command), Ref::boolean(false));
  if (!parameter) return Outcome::failure();
  Ref params = Ref::steal(PyList_New(1));
  if (!params) return Outcome::failure();
  PyList_SET_ITEM(params.get(), 0, parameter.release());
  return ast::make(NodeClass::FunctionCall, lineno, make_str("shell_exec"),
                   std::move(params));
}

constexpr HandlerEntry kStringHandlers[] = {
    {Kind::String, translate_quoted_string},
    {Kind::EncapsedString, translate_quoted_string},
    {Kind::Heredoc, translate_heredoc},
    {Kind::Nowdoc, translate_nowdoc},
    {Kind::ShellCommandExpression, translate_shell_command},
};

}  // namespace

HandlerList string_handlers() { return kStringHandlers; }

}  // namespace zarnu::translate
