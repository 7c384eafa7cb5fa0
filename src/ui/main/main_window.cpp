#include "ui/main/main_window.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>

#include "control/get_file.h"
#include "control/go_command.h"
#include "control/messages.h"
#include "control/open_file.h"
#include "design/windows_design.h"
#include "ui/about/about_window.h"
#include "ui/help/help_window.h"
#include "ui/main/operation_guard.h"
#include "ui/main/operation_runner.h"
#include "ui/platform/animation_control.h"
#include "ui/platform/frame_control.h"
#include "ui/platform/geometry.h"
#include "ui/platform/line_control.h"
#include "ui/platform/paths.h"
#include "ui/platform/qt_file_dialog.h"
#include "ui/platform/qt_message_box.h"
#include "ui/platform/resources.h"
#include "ui/platform/up_down_control.h"

namespace tessarel {
namespace {

constexpr int kClientWidth = kMainClientWidth;  // twips
constexpr int kClientHeight = kMainClientHeight;

// The Go command's view of the window's fields.
class WindowForm : public GoForm {
  public:
    explicit WindowForm(MainWindow& w) : w_(w) {}
    std::string OpenText() const override { return PathFromQt(w_.txtOpen->text()); }
    std::string SaveText() const override { return PathFromQt(w_.txtSave->text()); }
    void SetSaveText(const std::string& text) override { w_.txtSave->setText(PathToQt(text)); }
    bool SplitSelected() const override { return w_.optSplit->isChecked(); }
    bool ExactSelected() const override { return w_.optExact->isChecked(); }
    std::string ApproxText() const override { return w_.txtApprox->text().toStdString(); }
    std::string ExactText() const override { return w_.txtExact->text().toStdString(); }
    void SetSizeText(const std::string& text) override {
        w_.txtSize->setText(QString::fromStdString(text));
    }

  private:
    MainWindow& w_;
};

}  // namespace

MainWindow::MainWindow(MessageBox* message_box, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    EnsureResources();
    if (!message_box) {
        own_message_box_ = std::make_unique<QtMessageBox>(this);
        message_box = own_message_box_.get();
    }
    msg_ = message_box;
    dlgFile_ = std::make_unique<QtFileDialog>(this);
    beep_ = [] { QApplication::beep(); };
    setWindowTitle(kMainCaption);
    setWindowIcon(QIcon(":/tessarel.xpm"));
    setFixedSize(Px(kClientWidth), Px(kClientHeight));
    setAcceptDrops(true);  // a file dropped on the window is set up as if opened
    BuildControls();
    guard_ = new OperationGuard(
        cmdCancel, [this] { cmdCancel_Click(); }, this);
    runner_ = new OperationRunner(*this, *msg_, this);
    connect(runner_, &OperationRunner::finished, this, &MainWindow::RequestEnded);
    SetTabOrder();
    Form_Load();
    FitToScreen(this);
}

MainWindow::~MainWindow() {
    // The options go with the window; focus changes while they do must not reach them.
    disconnect(focus_watch_);
}

void MainWindow::Form_Load() {
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    // Beside the program in a build; where an installed program keeps its data otherwise.
    // Without a clip the window goes on, unanimated.
    if (!anmFileCopy->open("filedisk.avi")) {
        anmFileCopy->open(QCoreApplication::applicationDirPath() + "/" TESSAREL_DATA_FROM_BIN
                                                                   "/filedisk.avi");
    }
    anmFileCopy->setVisible(false);
    lblDone->setVisible(false);
    Line3->setVisible(false);
    lblTotal->setVisible(false);
    fraControls->setVisible(true);
}

void MainWindow::Form_Unload(int& Cancel) {
    if (msg_->Show(QuitQuestion()) == kAnswerYes) {
        anmFileCopy->close();
    } else {
        Cancel = 1;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (operating()) {
        // The close box stops the operation, as Cancel does; the window stays.
        event->ignore();
        cmdCancel_Click();
        return;
    }
    int cancel = 0;
    Form_Unload(cancel);
    if (cancel) {
        event->ignore();
    } else {
        event->accept();
    }
}

void MainWindow::OpenFile(const std::string& path) {
    const FileProposal proposal = ProposeFor(path);
    // Choosing the mode empties both names, so the mode comes first.
    (proposal.mode == Mode::kJoin ? optJoin : optSplit)->setChecked(true);
    txtOpen->setText(PathToQt(proposal.open));
    txtSave->setText(PathToQt(proposal.save));
    txtOpen->setCursorPosition(txtOpen->text().length());
    txtSave->setCursorPosition(txtSave->text().length());
}

namespace {

// The local files a drag carries; none when it carries anything else.
std::vector<std::string> DraggedFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (!data || !data->hasUrls()) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            return {};
        }
        files.push_back(PathFromQt(url.toLocalFile()));
    }
    return files;
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!operating() && !DraggedFiles(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = DraggedFiles(event->mimeData());
    if (operating() || files.empty()) {
        return;
    }
    event->acceptProposedAction();
    if (std::optional<Notice> refusal = CheckDropped(files)) {
        // Said once the drop is over, so the program the files came from is not kept waiting.
        QMetaObject::invokeMethod(
            this, [this, notice = *refusal] { msg_->Show(notice); }, Qt::QueuedConnection);
        return;
    }
    OpenFile(files.front());
}

void MainWindow::cmdExit_Click() {
    close();
}

void MainWindow::cmdAbout_Click() {
    // A fresh window at every opening: it loads its texts anew and keeps nothing.
    AboutWindow about(*msg_, this);
    about.exec();
}

void MainWindow::cmdHelp_Click() {
    HelpWindow help(this);
    help.exec();
}

void MainWindow::cmdGo_Click() {
    go_pending_ = false;
    if (operating()) {
        return;  // one request at a time, however Go was pressed
    }
    WindowForm form(*this);
    std::optional<Request> request = ReadGoForm(form, *msg_);
    if (!request) {
        ++go_requests_done_;
        return;
    }
    if (auto* split = std::get_if<SplitRequest>(&*request)) {
        // Told on the operation's thread; the field is the window's.
        split->first_piece_settled = [this](const std::string& name) {
            QMetaObject::invokeMethod(
                this, [this, name] { txtSave->setText(PathToQt(name)); }, Qt::QueuedConnection);
        };
    }
    split_running_ = std::holds_alternative<SplitRequest>(*request);
    focus_before_ = focusWidget();
    guard_->Begin();
    LockInput(true);
    runner_->Start(std::move(*request));
}

void MainWindow::RequestEnded(bool done) {
    guard_->End();
    LockInput(false);
    if (focus_before_ && focus_before_->isEnabled() && focus_before_->isVisible()) {
        focus_before_->setFocus(Qt::OtherFocusReason);
    }
    if (done) {
        // Said to a screen reader, as a sighted user sees the bar at 100: no message box.
        const QString said =
            QString::fromStdString(DoneAnnouncement(split_running_, lblTotal->text().toLongLong()));
        pgbDone->setAccessibleDescription(said);
        QAccessibleEvent described(pgbDone, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&described);
        QAccessibleEvent alert(pgbDone, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
    ++go_requests_done_;
}

void MainWindow::LockInput(bool locked) {
    for (int i = 0; i < kMainControlCount; ++i) {
        const ControlDesign& c = kMainControls[i];
        if (LockedWhileOperating(c)) {
            QWidget* control = findChild<QWidget*>(c.name);
            control->setEnabled(!locked);
            if (auto* field = qobject_cast<QLineEdit*>(control)) {
                field->setReadOnly(locked);  // not even a screen reader's text goes in
            }
        }
    }
    if (!locked) {
        ApplyEnableRules();
    }
}

void MainWindow::cmdCancel_Click() {
    if (!operating() || asking_to_stop_) {
        return;
    }
    // The copy waits while the question is up, so nothing else is asked meanwhile.
    asking_to_stop_ = true;
    runner_->Pause();
    if (msg_->Show(StopQuestion()) == kAnswerYes) {
        runner_->Stop();
    } else {
        runner_->Resume();
    }
    asking_to_stop_ = false;
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Enter presses the focused command button, and Go everywhere else.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        if (button && !qobject_cast<QRadioButton*>(button)) {
            button->click();
        } else if (cmdGo->isEnabled() && cmdGo->isVisible()) {
            cmdGo->click();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    if (!centred_) {
        centred_ = true;
        if (QScreen* s = screen()) {
            move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
        }
        // The focus starts where the tab order does, and shows where it is.
        setAttribute(Qt::WA_KeyboardFocusChange);
        findChild<QWidget*>(kMainTabOrder[0])->setFocus(Qt::TabFocusReason);
    }
    QWidget::showEvent(event);
}

void MainWindow::ShowTotal(int64_t count) {
    lblTotal->setText(QString::number(count));
    lblTotal->setAccessibleName(QString::fromStdString(CounterName("lblTotal", count)));
    lblTotal->adjustSize();
}

void MainWindow::ShowOperating() {
    lblDone->setVisible(true);
    Line3->setVisible(true);
    lblTotal->setVisible(true);
    anmFileCopy->setVisible(true);
    fraControls->setVisible(false);
    cmdCancel->setVisible(true);
    cmdCancel->raise();
    cmdCancel->setFocus();
    anmFileCopy->play();
    time_left_ = TimeLeft();
    operation_clock_.start();
}

void MainWindow::ShowPiece(int64_t k) {
    lblDone->setText(QString::number(k));
    lblDone->setAccessibleName(QString::fromStdString(CounterName("lblDone", k)));
    lblDone->adjustSize();
    repaint();
}

void MainWindow::SetProgress(float percent) {
    pgbDone->setValue(static_cast<int>(percent));
}

void MainWindow::ShowBytes(int64_t done, int64_t total) {
    if (!operation_clock_.isValid()) {
        operation_clock_.start();
    }
    time_left_.Update(done, total, static_cast<double>(operation_clock_.elapsed()) / 1000.0);
    // Where it fits without moving a control: the bar's tip, and what a screen reader says of it.
    const QString text =
        QString("Piece %1 of %2, %3%")
            .arg(lblDone->text(), lblTotal->text())
            .arg(pgbDone->value()) +
        (time_left_.Text().empty() ? QString() : ", " + QString::fromStdString(time_left_.Text()));
    pgbDone->setToolTip(text);
    pgbDone->setAccessibleDescription(text);
    QAccessibleEvent described(pgbDone, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
}

void MainWindow::ShowIdle() {
    anmFileCopy->stop();
    anmFileCopy->setVisible(false);
    lblDone->setVisible(false);
    Line3->setVisible(false);
    lblTotal->setVisible(false);
    cmdCancel->setVisible(false);
    fraControls->setVisible(true);
    pgbDone->setToolTip(QString());
    pgbDone->setAccessibleDescription(QString());
    operation_clock_.invalidate();
}

bool MainWindow::operating() const {
    return runner_->running();
}

void MainWindow::optSplit_Click() {
    txtOpen->setText("");
    txtSave->setText("");
    // The size mode chosen before Join comes back with its entries enabled. (The design turns
    // the chosen option off and on again to run its Click; an exclusive group cannot be left
    // with none chosen, so the rules are applied directly.)
    ApplyEnableRules();
}

void MainWindow::optJoin_Click() {
    txtOpen->setText("");
    txtSave->setText("");
    ApplyEnableRules();
}

void MainWindow::optApprox_Click() {
    ApplyEnableRules();
}

void MainWindow::optExact_Click() {
    ApplyEnableRules();
}

void MainWindow::ApplyEnableRules() {
    const ModeChoice now = optJoin->isChecked()    ? ModeChoice::kJoin
                           : optExact->isChecked() ? ModeChoice::kSplitExact
                                                   : ModeChoice::kSplitApproximate;
    for (int i = 0; i < kEnableRuleCount; ++i) {
        const EnableRule& rule = kEnableRules[i];
        findChild<QWidget*>(rule.control)->setEnabled(rule.enabled[static_cast<int>(now)]);
    }
}

void MainWindow::opt10_Click() {
    updSpinner->setIncrement(kSpinnerSteps[0]);
}

void MainWindow::opt100_Click() {
    updSpinner->setIncrement(kSpinnerSteps[1]);
}

void MainWindow::txtApprox_KeyPress(int& KeyAscii) {
    SizeKeyFilter(KeyAscii);
}

void MainWindow::txtExact_KeyPress(int& KeyAscii) {
    SizeKeyFilter(KeyAscii);
}

void MainWindow::SizeKeyFilter(int& KeyAscii) {
    constexpr int kBackspace = 8;
    if ((KeyAscii >= '0' && KeyAscii <= '9') || KeyAscii == kBackspace) {
        return;
    }
    KeyAscii = 0;
    beep_();
}

std::string MainWindow::GetFile(FileRole Button) {
    return tessarel::GetFile(*dlgFile_, Button, optJoin->isChecked() ? Mode::kJoin : Mode::kSplit);
}

void MainWindow::cmdOpen_Click() {
    const std::string chosen = GetFile(FileRole::kOpen);
    if (!chosen.empty()) {
        txtOpen->setText(PathToQt(chosen));
        txtOpen->setCursorPosition(txtOpen->text().length());
    }
}

void MainWindow::cmdSave_Click() {
    const std::string chosen = GetFile(FileRole::kSave);
    if (!chosen.empty()) {
        txtSave->setText(PathToQt(chosen));
        txtSave->setCursorPosition(txtSave->text().length());
    }
}

}  // namespace tessarel
