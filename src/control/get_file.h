// Choosing the file to open or to save through the file dialog.
#pragma once

#include <string>

#include "engine/split_join.h"
#include "platform/file_dialog.h"

namespace tessarel {

// Which of the two file fields a dialog fills: the file to open or the file to save.
enum class FileRole { kOpen, kSave };

// Sets the dialog up for the button of role in mode, runs it and returns the chosen path;
// empty when the user cancelled or the dialog failed.
std::string GetFile(FileDialog& dlgFile, FileRole Button, Mode mode);

}  // namespace tessarel
