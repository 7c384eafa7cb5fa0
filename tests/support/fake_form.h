// The window's fields as the Go command sees them, held in plain strings.
#pragma once

#include <string>

#include "control/go_command.h"

namespace tessarel {

class FakeForm : public GoForm {
  public:
    std::string open, save, approx = "1400", exact = "0", size = "Text3";
    bool split = true;
    bool exact_selected = false;

    std::string OpenText() const override { return open; }
    std::string SaveText() const override { return save; }
    void SetSaveText(const std::string& text) override { save = text; }
    bool SplitSelected() const override { return split; }
    bool ExactSelected() const override { return exact_selected; }
    std::string ApproxText() const override { return approx; }
    std::string ExactText() const override { return exact; }
    void SetSizeText(const std::string& text) override { size = text; }
};

}  // namespace tessarel
