// The file dialog: one object whose settings stay as they were left from one showing to the
// next, as the common dialog's did.
#pragma once

#include <cstdint>
#include <string>

namespace tessarel {

class FileDialog {
  public:
    virtual ~FileDialog() = default;

    // Settings; what one showing sets and a later one does not, stays in force.
    bool cancel_error = false;  // Cancel raises an error instead of returning quietly
    std::string title;
    std::string file_name;    // the start name, and after OK the chosen full path
    std::string filter;       // description|pattern pairs, all joined by "|"
    std::string default_ext;  // added to a typed name that has none
    std::string folder;       // where it starts when file_name names no folder

    // Run the dialog modally. On OK, file_name holds the chosen path. On Cancel, file_name is
    // left as it was and, when cancel_error is set, the cancel error is raised.
    virtual void ShowOpen() = 0;
    virtual void ShowSave() = 0;
};

// The run-time error a cancelled dialog raises when asked to.
constexpr int32_t kErrDialogCancelled = 32755;

}  // namespace tessarel
