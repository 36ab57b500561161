// The simulator's end of a serial line: the serial layer's pseudo-terminal.
#pragma once

#include "serial/PseudoTerminal.h"

namespace camsim {

using PseudoTerminal = ::CPseudoTerminal;

}  // namespace camsim
