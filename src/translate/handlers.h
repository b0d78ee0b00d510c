// The translations of single kinds, one function per kind or per family of
// kinds that share one. dispatch.cpp maps kinds onto them; each lives in the
// file of its area.
#pragma once

#include <tree_sitter/api.h>

#include <cstdint>
#include <span>
#include <utility>

#include "translate/context.h"
#include "translate/translate.h"

namespace zarnu::translate {

// The kinds that one area of the translation handles, with their functions.
// dispatch.cpp merges the lists of all areas into one table indexed by kind.
using HandlerEntry = std::pair<Kind, Handler>;
using HandlerList = std::span<const HandlerEntry>;

HandlerList string_handlers();       // strings.cpp: quoted, heredoc, nowdoc, backticks
HandlerList operator_handlers();     // operators.cpp: assignments, operators, casts
HandlerList intrinsic_handlers();    // intrinsics.cpp: clone, print, include, yield, exit, match
HandlerList call_handlers();         // calls.cpp: calls and arguments
HandlerList access_handlers();       // access.cpp: members, subscripts, arrays, new
HandlerList function_handlers();     // functions.cpp: functions, methods, closures, parameters
HandlerList class_handlers();        // classes.cpp: classes, interfaces, traits, enums
HandlerList namespace_handlers();    // namespaces.cpp: namespaces, use, const
HandlerList control_handlers();      // control.cpp: if, loops, switch, try, declare
HandlerList statement_handlers();    // statements.cpp: echo, return, jumps, blocks

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
