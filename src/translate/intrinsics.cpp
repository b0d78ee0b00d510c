// Translations of this area's kinds; until they are written, these kinds take
// the default translation.
#include "translate/handlers.h"

namespace zarnu::translate {

HandlerList intrinsic_handlers() { return {}; }

}  // namespace zarnu::translate
