#include "control/get_file.h"

#include <exception>

namespace tessarel {

std::string GetFile(FileDialog& dlgFile, FileRole Button, Mode mode) {
    const bool join_mode = mode == Mode::kJoin;
    try {
        dlgFile.cancel_error = true;
        // Only a split's Save As adds "m00" by itself; left set, it would turn a join's output
        // typed as "movie" into "movie.m00".
        dlgFile.default_ext.clear();
        if (Button == FileRole::kOpen) {
            dlgFile.file_name.clear();
            if (join_mode) {
                dlgFile.title = "Select a File to Join...";
                dlgFile.filter = "Splitted Files(*.m00)|*.m00|All Files (*.*)|*.*";
            } else {
                dlgFile.title = "Select a File to Split...";
                dlgFile.filter = "All Files (*.*)|*.*";
            }
            dlgFile.ShowOpen();
        } else {
            dlgFile.title = "Enter File Name...";
            dlgFile.file_name.clear();
            if (join_mode) {
                dlgFile.filter = "All Files (*.*)|*.*";
            } else {
                dlgFile.default_ext = "m00";
                dlgFile.filter = "Splitted Files(*.m00)|*.m00";
            }
            dlgFile.ShowSave();
        }
        return dlgFile.file_name;
    } catch (...) {
        // Cancel and every failure of the dialog give the empty name; nothing is reported.
        return "";
    }
}

}  // namespace tessarel
