// frmHelp: four tabs of help topics. What is shown is the Help controller's to say; this window
// draws it, and only what is shown can be reached.
#pragma once

#include <QDialog>
#include <array>

#include "control/help_controller.h"

class QLabel;
class QPlainTextEdit;
class QRadioButton;

namespace tessarel {

class FrameControl;
class TabStrip;

class HelpWindow : public QDialog, private HelpView {
    Q_OBJECT
  public:
    static constexpr int kPages = 4;
    static constexpr int kTopics = 9;

    explicit HelpWindow(QWidget* parent = nullptr);

    TabStrip* tbsHelp;
    std::array<FrameControl*, kPages> fraHelp{};
    std::array<QRadioButton*, kTopics> optOv{};
    std::array<FrameControl*, kTopics> fraOv{};
    std::array<QLabel*, kTopics> lblOv{};
    std::array<QPlainTextEdit*, kTopics> txtHelp{};

    // The page of a topic.
    static int PageOf(int topic);

  private:
    void Form_Load();
    void ShowPage(int page) override;
    void ShowTopic(int topic, bool in_front) override;

    HelpController controller_{*this};
};

}  // namespace tessarel
