// frmMain: the program's one working window. Controls keep the names the rest of the program
// knows them by.
#pragma once

#include <QWidget>
#include <memory>

#include <QElapsedTimer>
#include <QPointer>
#include <functional>

#include "control/time_left.h"

#include "engine/progress_display.h"
#include "engine/split_join.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace tessarel {

struct MediaSize;
class AnimationControl;
class OperationGuard;
class OperationRunner;
enum class FileRole;
class FrameControl;
class LineControl;
class UpDownControl;

class MainWindow : public QWidget, public ProgressDisplay {
    Q_OBJECT
  public:
    // Message boxes go through message_box; the window makes its own when given none.
    explicit MainWindow(MessageBox* message_box = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // ProgressDisplay, on the window's thread (the operation's own thread reaches it through
    // the runner).
    void ShowTotal(int64_t count) override;
    void ShowOperating() override;
    void ShowPiece(int64_t k) override;
    void SetProgress(float percent) override;
    void ShowBytes(int64_t done, int64_t total) override;
    void ShowIdle() override;
    // True from Go until its request has ended: the window takes no input but Cancel.
    bool operating() const;
    // While a request runs, no control but Cancel takes input, however it comes.
    void LockInput(bool locked);
    // How many Go requests have run to their end; Go runs from the event loop after its click.
    int go_requests_done() const { return go_requests_done_; }

    // Sets the window up for a file handed to the program (its command line, a drop): join
    // for a series, split for anything else. Nothing runs until Go.
    void OpenFile(const std::string& path);

    // The one file dialog the window keeps; tests put a scripted one in its place.
    FileDialog& dlgFile() { return *dlgFile_; }
    void SetFileDialog(std::unique_ptr<FileDialog> dialog) { dlgFile_ = std::move(dialog); }
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
    void BuildControls();
    void SetTabOrder();
    void Form_Load();
    void Form_Unload(int& Cancel);
    void cmdExit_Click();
    void cmdGo_Click();
    void cmdCancel_Click();
    // The request Go started has ended; done when it was carried out.
    void RequestEnded(bool done);

    void cmdAbout_Click();
    void cmdHelp_Click();
    void cmdOpen_Click();
    void cmdSave_Click();
    std::string GetFile(FileRole Button);
    void optSplit_Click();
    void optJoin_Click();
    void optApprox_Click();
    void optExact_Click();
    void opt10_Click();
    void opt100_Click();
    void txtApprox_KeyPress(int& KeyAscii);
    void txtExact_KeyPress(int& KeyAscii);
    void SizeKeyFilter(int& KeyAscii);
    void ChooseMediaSize(const MediaSize& size);
    // Which controls can be used: every mode and size choice has one row of the table.
    void ApplyEnableRules();

    std::unique_ptr<MessageBox> own_message_box_;
    std::unique_ptr<FileDialog> dlgFile_;
    std::function<void()> beep_;
    OperationGuard* guard_;
    OperationRunner* runner_;
    bool asking_to_stop_ = false;
    TimeLeft time_left_;
    QElapsedTimer operation_clock_;
    int go_requests_done_ = 0;
    bool go_pending_ = false;  // Go was pressed and its request has not started yet
    bool split_running_ = false;
    QPointer<QWidget> focus_before_;     // where the focus was when Go was pressed
    std::unique_ptr<QWidget> offstage_;  // holds what the design keeps out of sight
    QMetaObject::Connection focus_watch_;
    MessageBox* msg_;
    bool centred_ = false;
};

}  // namespace tessarel
