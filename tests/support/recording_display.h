// A progress display that remembers what the operation did to it.
#pragma once

#include <string>
#include <vector>

#include "engine/progress_display.h"
#include "platform/conversions.h"

namespace tessarel {

class RecordingDisplay : public ProgressDisplay {
  public:
    void ShowTotal(int64_t count) override { total = PlainNumber(count); }
    void ShowOperating() override {
        operating = true;
        ++shown_operating;
    }
    void ShowPiece(int64_t k) override {
        captions.push_back(PlainNumber(k));
        ++repaints;
    }
    void SetProgress(float percent) override {
        if (progress.empty() || progress.back() != percent) {
            progress.push_back(percent);
        }
    }
    void ShowIdle() override { operating = false; }

    bool Idle() const { return !operating; }

    std::string total = "10";  // lblTotal's caption at start
    bool operating = false;
    int shown_operating = 0;
    std::vector<std::string> captions;
    std::vector<float> progress;
    int repaints = 0;
};

}  // namespace tessarel
