// Number literals as PHP reads them.
#pragma once

#include <string_view>

#include "lib/ref.h"

namespace zarnu::translate {

// An integer literal ("42", "0x1F", "0b101", "0o17", "017", "1_000") as a new
// int; one beyond the signed 64-bit range as the float of its value, as PHP
// has it. A text that reads as no integer gives 0. NULL only when the object
// cannot be made.
Ref integer_value(std::string_view text);

// A float literal ("1.5", ".5", "1e3", "1_000.5") as a new float; a text that
// reads as no number gives 0.0. NULL only when the object cannot be made.
Ref float_value(std::string_view text);

}  // namespace zarnu::translate
