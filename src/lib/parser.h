// The parser class `Zarnu`: owns a tree-sitter parser set to the PHP grammar
// and turns source text into the list of top-level items.
#pragma once

#include <Python.h>

namespace zarnu::lib {

// Type object of `Zarnu`, created on the first request in the process.
// Borrowed. Returns NULL with RuntimeError "An error occurred while
// initializing class Zarnu" (caused by the underlying error) on failure.
PyTypeObject* request_parser_type();

}  // namespace zarnu::lib
