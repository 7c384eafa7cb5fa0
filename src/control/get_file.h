// Choosing the file to open or to save through the file dialog.
#pragma once

#include <string>

#include "platform/file_dialog.h"

namespace tessarel {

// Sets the dialog up for button ("Open", anything else is Save) in the current mode, runs it and
// returns the chosen path; empty when the user cancelled or the dialog failed.
std::string GetFile(FileDialog& dlgFile, const std::string& Button, bool join_mode);

}  // namespace tessarel
