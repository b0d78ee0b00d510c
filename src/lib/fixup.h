// `fixup_curly_offsets(nodes)`: folds the old brace offset form `$s{0}`,
// which the grammar leaves as an item followed by a one-item Block.
#pragma once

#include <Python.h>

namespace zarnu::lib {

// Method definition of the module function; static for the process.
extern PyMethodDef fixup_curly_offsets_def;

}  // namespace zarnu::lib
