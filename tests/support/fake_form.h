// The window's fields as a request is read from them, held in plain strings, and Go pressed
// on them as the window's controller does.
#pragma once

#include <string>

#include "control/go_form.h"
#include "platform/conversions.h"

namespace tessarel {

class FakeForm : public GoForm {
  public:
    std::string open, save, approx = "1400", exact = "0", size = "Text3";
    bool split = true;
    bool exact_selected = false;

    std::string OpenText() const override { return open; }
    std::string SaveText() const override { return save; }
    bool SplitSelected() const override { return split; }
    bool ExactSelected() const override { return exact_selected; }
    std::string ApproxText() const override { return approx; }
    std::string ExactText() const override { return exact; }
};

// Reads the request from form and runs it, showing the piece size and the settled first
// piece's name in it. True when the split or join was carried out to its end.
inline bool GoWithForm(FakeForm& form, ProgressDisplay& display, MessageBox& box) {
    std::optional<Request> request = ReadGoForm(form, box);
    if (!request) {
        return false;
    }
    if (auto* split = std::get_if<SplitRequest>(&*request)) {
        form.size = StrWithSign(split->piece_size);
        split->first_piece_settled = [&form](const std::string& name) { form.save = name; };
    }
    return RunRequest(*request, display, box);
}

}  // namespace tessarel
