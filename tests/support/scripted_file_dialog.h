// A file dialog that answers from a script and remembers how it was set up each time.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/runtime_error.h"

namespace tessarel {

struct DialogShowing {
    bool save;
    bool cancel_error;
    std::string title;
    std::string file_name;
    std::string filter;
    std::string default_ext;
};

class ScriptedFileDialog : public FileDialog {
  public:
    // Next showing returns this path; nothing means the user presses Cancel.
    void Answer(std::optional<std::string> path) { answers_.push_back(std::move(path)); }

    void ShowOpen() override { Show(false); }
    void ShowSave() override { Show(true); }

    std::vector<DialogShowing> showings;

  private:
    void Show(bool save) {
        showings.push_back({save, cancel_error, title, file_name, filter, default_ext});
        std::optional<std::string> answer;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
        if (!answer) {
            if (cancel_error) {
                throw RuntimeError(kErrDialogCancelled, "Cancel was selected.");
            }
            return;
        }
        file_name = *answer;
    }

    std::deque<std::optional<std::string>> answers_;
};

}  // namespace tessarel
