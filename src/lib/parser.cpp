// The parser class `Zarnu`: each object owns one tree-sitter parser set to
// the PHP grammar; `parse` parses a whole text and hands the tree to the
// translation.
//
//   class Zarnu:
//       def parse(self, code: str, filename: str | None = None) -> list: ...
#include "lib/parser.h"

#include <tree_sitter/api.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "lib/args.h"
#include "lib/errors.h"
#include "lib/ref.h"
#include "translate/grammar.h"
#include "translate/translate.h"

namespace zarnu::lib {

namespace {

using Mark = std::atomic_ref<uint32_t>;

struct ParserObject {
  PyObject_HEAD
  TSParser* parser;
  // 1 while a `parse` call holds the object. A second call on the same
  // object, from another thread or from inside the first, must fail rather
  // than share the tree-sitter parser.
  alignas(Mark::required_alignment) uint32_t in_use;
};

ParserObject* as_parser(PyObject* obj) {
  return reinterpret_cast<ParserObject*>(obj);
}

// The exclusive hold of a parser object for one `parse` call, taken by one
// compare-and-swap and given back on every way out of the call.
class Hold {
 public:
  explicit Hold(ParserObject* self) : mark_(self->in_use) {
    uint32_t expected = 0;
    held_ = mark_.compare_exchange_strong(expected, 1, std::memory_order_acquire,
                                          std::memory_order_relaxed);
  }
  ~Hold() {
    if (held_) mark_.store(0, std::memory_order_release);
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  bool held() const { return held_; }

 private:
  Mark mark_;
  bool held_;
};

// The UTF-8 text of a str argument, borrowed from the str (which caches it).
// False with the argument's error set otherwise.
bool utf8_argument(PyObject* value, const char* parameter, std::string_view& out) {
  if (!PyUnicode_Check(value)) {
    raise_not_instance(value, "str");
    prefix_argument_error(parameter);
    return false;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value, &size);
  if (!data) {
    prefix_argument_error(parameter);
    return false;
  }
  out = std::string_view(data, static_cast<size_t>(size));
  return true;
}

// The text tree-sitter is to read: `source` itself, or the copy that stands
// in for it, kept in `copy`.
std::string_view parse_text(std::string_view source, std::string& copy) {
  return translate::with_stand_ins(source, copy) ? std::string_view(copy) : source;
}

// tree-sitter's read callback: the rest of the text in one chunk.
const char* read_source(void* payload, uint32_t byte_index, TSPoint,
                        uint32_t* bytes_read) {
  const auto* source = static_cast<const std::string_view*>(payload);
  if (byte_index >= source->size()) {
    *bytes_read = 0;
    return "";
  }
  *bytes_read = static_cast<uint32_t>(source->size() - byte_index);
  return source->data() + byte_index;
}

// How many progress callbacks pass between two looks at pending signals.
// tree-sitter calls back every hundred or so parse actions; a look costs
// little, but most parses need none at all.
constexpr unsigned kCallbacksPerSignalCheck = 16;

struct ParseProgress {
  unsigned callbacks = 0;
  // Set when a signal handler raised: the parse was cancelled for it, and
  // its exception is the one to report.
  bool interrupted = false;
};

// tree-sitter's progress callback: true cancels the parse. A parse that
// error recovery makes slow (minutes for some 100 KB inputs) must still
// honour Ctrl-C; the GIL is held, so handlers run right here.
bool check_signals(TSParseState* state) {
  auto* progress = static_cast<ParseProgress*>(state->payload);
  if (++progress->callbacks % kCallbacksPerSignalCheck != 0) return false;
  if (PyErr_CheckSignals() == 0) return false;
  progress->interrupted = true;
  return true;
}

void raise_incompatible_language(const TSLanguage* language) {
  PyErr_Format(PyExc_RuntimeError,
               "Incompatible language version %u. Expected minimum %d, maximum %d",
               static_cast<unsigned>(ts_language_abi_version(language)),
               TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION,
               TREE_SITTER_LANGUAGE_VERSION);
}

// The core frees its syntax tree at the end of a parse, under the objects the
// translation has just allocated, so the C allocator cannot shrink its heap
// and keeps the tree's pages: a long-running process would hold the
// high-water mark of its largest file (tens of bytes per source byte) for
// good. glibc's malloc_trim gives back the free pages anywhere in the heap.
// It walks the freed chunks (work that freeing the result would otherwise
// do) and the next parse faults its pages in afresh, so only large parses
// pay for it; below this size, what the allocator keeps is modest and the
// next parse reuses it.
#if defined(__GLIBC__)
constexpr size_t kTrimAfterSourceBytes = 512 * 1024;

void trim_heap_after_parse(size_t source_bytes) {
  if (source_bytes < kTrimAfterSourceBytes) return;
  // The trim touches no interpreter state: other threads need not wait.
  Py_BEGIN_ALLOW_THREADS
  malloc_trim(0);
  Py_END_ALLOW_THREADS
}
#else
// Other C libraries have no such call; their allocators keep what they keep.
void trim_heap_after_parse(size_t) {}
#endif

// Zarnu(): new reference, or NULL with the exception set.
PyObject* parser_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const Signature signature{"Zarnu.__new__()", {}, 0};
    PyObject* no_slots[1];
    if (!bind_tuple_dict(signature, args, kwargs, no_slots)) return nullptr;
    const translate::Grammar* grammar = translate::load_grammar();
    if (!grammar) return nullptr;
    translate::ParserPtr parser(ts_parser_new(), ts_parser_delete);
    if (!ts_parser_set_language(parser.get(), grammar->language())) {
      raise_incompatible_language(grammar->language());
      return nullptr;
    }
    PyObject* obj = type->tp_alloc(type, 0);
    if (!obj) return nullptr;
    ParserObject* self = as_parser(obj);
    self->parser = parser.release();
    self->in_use = 0;
    return obj;
  });
}

void parser_dealloc(PyObject* obj) {
  PyTypeObject* type = Py_TYPE(obj);
  if (TSParser* parser = as_parser(obj)->parser) ts_parser_delete(parser);
  type->tp_free(obj);
  Py_DECREF(type);
}

// Zarnu.parse(code, filename=None): new list, or NULL with the exception set.
PyObject* parser_parse(PyObject* obj, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
  // Set once a parse has started, failed or not: its memory is freed either way.
  size_t parsed_bytes = 0;
  PyObject* result = guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const names[] = {"code", "filename"};
    static const Signature signature{"Zarnu.parse()", names, 1};
    PyObject* slots[2];
    if (!bind_fastcall(signature, args, nargs, kwnames, slots)) return nullptr;

    ParserObject* self = as_parser(obj);
    Hold hold(self);
    if (!hold.held()) {
      PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
      return nullptr;
    }
    std::string_view source;
    if (!utf8_argument(slots[0], "code", source)) return nullptr;
    std::optional<std::string> filename;
    if (slots[1] && slots[1] != Py_None) {
      std::string_view text;
      if (!utf8_argument(slots[1], "filename", text)) return nullptr;
      filename.emplace(text);
    }
    const translate::Grammar* grammar = translate::load_grammar();
    if (!grammar) return nullptr;

    // tree-sitter counts bytes in 32 bits; a longer text has no tree.
    translate::TreePtr tree(nullptr, ts_tree_delete);
    ParseProgress progress;
    if (source.size() <= std::numeric_limits<uint32_t>::max()) {
      parsed_bytes = source.size();
      std::string copy;
      std::string_view parsed = parse_text(source, copy);
      const TSInput input{&parsed, read_source, TSInputEncodingUTF8, nullptr};
      const TSParseOptions options{&progress, check_signals};
      tree.reset(ts_parser_parse_with_options(self->parser, nullptr, input, options));
    }
    if (!tree) {
      // A cancelled parse keeps its state for resuming; this object starts
      // every parse afresh.
      ts_parser_reset(self->parser);
      if (!progress.interrupted) {
        PyErr_SetString(PyExc_RuntimeError, "parse failed");
      }
      return nullptr;
    }
    return translate::translate_root(ts_tree_root_node(tree.get()), *grammar,
                                     source, std::move(filename))
        .release();
  });
  // After the object is released, so the trim does not keep it busy.
  trim_heap_after_parse(parsed_bytes);
  return result;
}

PyMethodDef parser_methods[] = {
    {"parse",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(parser_parse)),
     METH_FASTCALL | METH_KEYWORDS, "parse($self, code, filename=None)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot parser_slots[] = {
    {Py_tp_doc, const_cast<char*>("Zarnu()\n--\n\n")},
    {Py_tp_new, reinterpret_cast<void*>(parser_new)},
    {Py_tp_methods, parser_methods},
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_dealloc, reinterpret_cast<void*>(parser_dealloc)},
    {0, nullptr},
};

PyType_Spec parser_type_spec = {
    "builtins.Zarnu",
    static_cast<int>(sizeof(ParserObject)),
    0,
    Py_TPFLAGS_DEFAULT,
    parser_slots,
};

std::atomic<PyTypeObject*> parser_type_slot{nullptr};

}  // namespace

PyTypeObject* request_parser_type() {
  if (PyTypeObject* type = parser_type_slot.load(std::memory_order_acquire)) {
    return type;
  }
  auto* created =
      reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&parser_type_spec));
  if (!created) {
    on_failure();
    raise_chained(PyExc_RuntimeError,
                  "An error occurred while initializing class Zarnu");
    return nullptr;
  }
  PyTypeObject* expected = nullptr;
  if (!parser_type_slot.compare_exchange_strong(expected, created,
                                                std::memory_order_acq_rel)) {
    Py_DECREF(created);  // another thread registered one first
    return expected;
  }
  return created;
}

}  // namespace zarnu::lib
