// What check and repair say of a series on a terminal: a line for each piece and recovery
// piece, what can be rebuilt, and the exit status (0 whole, 1 not whole and not rebuildable,
// 3 not whole but rebuildable).
#pragma once

#include <cstdio>
#include <string>

#include "cli/terminal.h"

namespace tessarel {

// progress_shown: the reading's progress is drawn on io.err (a terminal).
int RunCheck(const std::string& first_piece, const TerminalIo& io, FILE* out,
             bool from_medium = false, bool progress_shown = false);
int RunRepair(const std::string& first_piece, const TerminalIo& io, bool progress_shown);

}  // namespace tessarel
