// The translations of single kinds, one function per kind or per family of
// kinds that share one. dispatch.cpp maps kinds onto them; each lives in the
// file of its area.
#pragma once

#include <tree_sitter/api.h>

#include <cstdint>

#include "translate/context.h"
#include "translate/translate.h"

namespace zarnu::translate {

// dispatch.cpp: the structural kinds.
Outcome translate_program(TSNode node, Ctx& ctx, uint64_t lineno);
Outcome translate_first_operand(TSNode node, Ctx& ctx, uint64_t lineno);
Outcome translate_nested_inline_text(TSNode node, Ctx& ctx, uint64_t lineno);

// names.cpp: names, constants, literals.
Outcome translate_name(TSNode node, Ctx& ctx, uint64_t lineno);
Outcome translate_literal_constant(TSNode node, Ctx& ctx, uint64_t lineno);
Outcome translate_integer(TSNode node, Ctx& ctx, uint64_t lineno);
Outcome translate_float(TSNode node, Ctx& ctx, uint64_t lineno);

// variables.cpp
Outcome translate_variable_name(TSNode node, Ctx& ctx, uint64_t lineno);
Outcome translate_dynamic_variable_name(TSNode node, Ctx& ctx, uint64_t lineno);

}  // namespace zarnu::translate
