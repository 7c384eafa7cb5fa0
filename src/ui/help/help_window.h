// frmHelp: four tabs of help topics. Switching shows a page or topic by bringing it to the
// front; nothing is hidden, so each page keeps the topic it last showed.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QPlainTextEdit;
class QRadioButton;

namespace tessarel {

class FrameControl;
class TabStrip;

class HelpWindow : public QDialog {
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
    void tbsHelp_Click();
    void optOv_Click(int Index);
    void ShowPage(int index);
};

}  // namespace tessarel
