// frmMain: the program's one working window, in Qt. What it does is MainController's; this is
// the plumbing: the controls built from the design, their events handed on, and the controls
// set or read when the controller asks. Controls keep the names the rest of the program knows.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "control/main_controller.h"
#include "engine/progress_display.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace tessarel {

class AnimationControl;
class FrameControl;
class LauncherEntry;
class LineControl;
class QtUiThread;
class UpDownControl;

class MainWindow : public QWidget, private MainView {
    Q_OBJECT
  public:
    // Message boxes go through message_box; the window makes its own when given none.
    explicit MainWindow(MessageBox* message_box = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // What the window does, and the progress display it gives an operation (on its thread).
    MainController& controller() { return *controller_; }
    ProgressDisplay& display() { return *controller_; }
    // True from Go until its request has ended: the window takes no input but Cancel.
    bool operating() const { return controller_->operating(); }
    // How many Go requests have run to their end; Go runs from the event loop after its click.
    int go_requests_done() const { return controller_->go_requests_done(); }

    // Sets the window up for a file handed to the program (its command line, a drop): join
    // for a series, split for anything else. Nothing runs until Go.
    void OpenFile(const std::string& path, bool split = false) {
        controller_->OpenFile(path, split);
    }

    // The file dialog the window keeps; tests put a scripted one in its place.
    void SetFileDialog(std::unique_ptr<FileDialog> dialog);
    // The system beep, replaceable so tests can count it.
    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }

    // Controls, in the order the window builds them.
    FrameControl* fraControls;
    QPushButton* cmdExit;
    QPushButton* cmdHelp;
    QPushButton* cmdAbout;
    QProgressBar* pgbDone;
    QToolButton* cmdGo;
    QLineEdit* txtSize;
    FrameControl* fraFiles;
    QLineEdit* txtSave;
    QLineEdit* txtOpen;
    QPushButton* cmdSave;
    QPushButton* cmdOpen;
    LineControl* Line2;
    QRadioButton* optJoin;
    QRadioButton* optSplit;
    FrameControl* fraOptions;
    FrameControl* fraMultiply;
    QRadioButton* opt10;
    QRadioButton* opt100;
    UpDownControl* updSpinner;
    QLineEdit* txtApprox;
    QLineEdit* txtExact;
    QRadioButton* optExact;
    QRadioButton* optApprox;
    QLabel* lblKB;
    QLabel* lblDispByte;
    LineControl* Line1;
    AnimationControl* anmFileCopy;
    LineControl* Line3;
    QLabel* lblTotal;
    QLabel* lblDone;
    QLabel* lblTitle;
    // Stands in the bottom row's place while an operation runs.
    QPushButton* cmdCancel;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildControls();  // main_window_layout.cpp
    void WireControls();   // main_window_layout.cpp
    void SetTabOrder();    // main_window_layout.cpp
    void Form_Load();
    QWidget* Find(const char* name) const;

    // MainView
    std::string Text(const char* name) const override;
    void SetText(const char* name, const std::string& text) override;
    bool Checked(const char* name) const override;
    void Check(const char* name) override;
    void SetEnabled(const char* name, bool enabled) override;
    void SetVisible(const char* name, bool visible) override;
    void SetLocked(const char* name, bool locked) override;
    void SetProgress(int percent) override;
    void ShowTaskProgress(TaskProgress state, int percent) override;
    void Describe(const char* name, const std::string& text) override;
    void Announce(const char* name, const std::string& text) override;
    void Repaint() override { repaint(); }
    void PlayClip(bool playing) override;
    bool OpenClip(const std::string& path) override;
    void SetSpinnerStep(int step) override;
    std::string Focused() const override;
    void Focus(const char* name) override;
    void Beep() override { beep_(); }
    void ShowAbout() override;
    void ShowHelp() override;
    void Close() override;

    std::unique_ptr<MessageBox> own_message_box_;
    std::unique_ptr<FileDialog> dlgFile_;
    std::function<void()> beep_;
    std::unique_ptr<QtUiThread> ui_thread_;
    std::unique_ptr<MainController> controller_;
    std::unique_ptr<LauncherEntry> launcher_;
    std::map<std::string, QString> locked_text_;  // a locked field's text, kept whatever comes
    std::unique_ptr<QWidget> offstage_;           // holds what the design keeps out of sight
    QMetaObject::Connection focus_watch_;
    MessageBox* msg_;
    bool centred_ = false;
    bool closing_ = false;          // the quit question has been answered Yes
    QTimer* stop_watch_ = nullptr;  // looks for a stop signal from the session
};

}  // namespace tessarel
