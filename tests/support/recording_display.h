// A progress display that remembers what the operation did to it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/progress_display.h"

namespace tessarel {

class RecordingDisplay : public ProgressDisplay {
  public:
    RecordingDisplay() {
        visible[DisplayPart::ButtonRow] = true;
        for (DisplayPart part : {DisplayPart::PieceDone, DisplayPart::FractionBar,
                                 DisplayPart::PieceTotal, DisplayPart::Animation}) {
            visible[part] = false;
        }
    }
    void SetVisible(DisplayPart part, bool on) override { visible[part] = on; }
    void PlayAnimation() override { playing = true; }
    void StopAnimation() override { playing = false; }
    void SetPieceDone(const std::string& caption) override { captions.push_back(caption); }
    void SetProgress(float percent) override {
        if (progress.empty() || progress.back() != percent) {
            progress.push_back(percent);
        }
    }
    void Repaint() override { ++repaints; }
    void BeginOperation() override { ++begun; }
    void EndOperation() override { ++ended; }

    bool Idle() const {
        return !playing && visible.at(DisplayPart::ButtonRow) &&
               !visible.at(DisplayPart::Animation) && !visible.at(DisplayPart::PieceDone) &&
               !visible.at(DisplayPart::FractionBar) && !visible.at(DisplayPart::PieceTotal);
    }

    std::map<DisplayPart, bool> visible;
    bool playing = false;
    std::vector<std::string> captions;
    std::vector<float> progress;
    int repaints = 0;
    int begun = 0;
    int ended = 0;
};

}  // namespace tessarel
