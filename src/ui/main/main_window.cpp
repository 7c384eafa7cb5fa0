#include "ui/main/main_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
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

#include "design/windows_design.h"
#include "platform/console.h"
#include "platform/path.h"
#include "ui/about/about_window.h"
#include "ui/help/help_window.h"
#include "ui/main/launcher_entry.h"
#include "ui/main/qt_ui_thread.h"
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

// The bar as a screen reader meets it: its state in words (its description) and its percentage,
// with no Increase or Decrease that would do nothing (Qt offers them for anything with a value).
class BarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit BarAccessible(QWidget* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}
    QProgressBar* bar() const { return static_cast<QProgressBar*>(widget()); }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text which) const override {
        if (which == QAccessible::Value) {
            return QString::number(bar()->value()) + "%";
        }
        return QAccessibleWidget::text(which);
    }
    QStringList actionNames() const override { return {}; }
    // Read only: the bar shows how far the request is, nobody sets it.
    QVariant currentValue() const override { return bar()->value(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    QVariant minimumStepSize() const override { return 0; }
};

// The main window is a frame to a screen reader (a plain widget would be a filler).
QAccessibleInterface* Accessibles(const QString& key, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && key == QLatin1String(MainWindow::staticMetaObject.className())) {
        return new QAccessibleWidget(widget, QAccessible::Window);
    }
    if (widget && key == QLatin1String("QProgressBar") && object->objectName() == "pgbDone") {
        return new BarAccessible(widget);
    }
    return nullptr;
}

// The folder the program was started in, before the window makes its own folder current.
std::string StartFolderHere() {
    return StartFolder(CurrentFolder(), ProgramFolder(), DocumentsFolder());
}

}  // namespace

MainWindow::MainWindow(MessageBox* message_box, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    EnsureResources();
    static const bool accessibles = (QAccessible::installFactory(Accessibles), true);
    (void)accessibles;
    if (!message_box) {
        own_message_box_ = std::make_unique<QtMessageBox>(this);
        message_box = own_message_box_.get();
    }
    msg_ = message_box;
    dlgFile_ = std::make_unique<QtFileDialog>(this);
    beep_ = [] { QApplication::beep(); };
    ui_thread_ = std::make_unique<QtUiThread>();
    launcher_ = std::make_unique<LauncherEntry>(kDesktopId);
    controller_ = std::make_unique<MainController>(static_cast<MainView&>(*this), *msg_,
                                                   *ui_thread_, *dlgFile_, StartFolderHere());
    setWindowTitle(kMainCaption);
    setWindowIcon(QIcon(":/tessarel.xpm"));
    setFixedSize(Px(kMainClientWidth), Px(kMainClientHeight));
    setAcceptDrops(true);  // a file dropped on the window is set up as if opened
    BuildControls();
    WireControls();
    SetTabOrder();
    Form_Load();
    FitToScreen(this);
    // A logout's SIGTERM or SIGHUP is noted by the signal handler; the window hears of it here.
    stop_watch_ = new QTimer(this);
    connect(stop_watch_, &QTimer::timeout, this, [this] {
        if (StopSignal() != 0) {
            stop_watch_->stop();
            controller_->EndAsked();
        }
    });
    stop_watch_->start(100);
}

MainWindow::~MainWindow() {
    // The options go with the window; focus changes while they do must not reach them.
    disconnect(focus_watch_);
    controller_.reset();  // lets a running request end first
}

void MainWindow::SetFileDialog(std::unique_ptr<FileDialog> dialog) {
    dlgFile_ = std::move(dialog);
    controller_->SetFileDialog(*dlgFile_);
}

void MainWindow::Form_Load() {
    controller_->Load();
}

bool MainWindow::OpenClip(const std::string& path) {
    return anmFileCopy->open(PathToQt(path));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_ || controller_->CloseAsked()) {
        anmFileCopy->close();
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::Close() {
    closing_ = true;
    close();
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
    if (controller_->TakesDrops() && !DraggedFiles(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = DraggedFiles(event->mimeData());
    if (controller_->TakesDrops() && !files.empty()) {
        event->acceptProposedAction();
        controller_->Dropped(files);
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* button = qobject_cast<QAbstractButton*>(Find(controller_->ReturnPresses().c_str()));
        if (button && button->isEnabled() && button->isVisible()) {
            button->click();  // pressed as a click presses it, seen going down and up
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
        setAttribute(Qt::WA_KeyboardFocusChange);  // the focus shows where it is
        controller_->Shown();
    }
    QWidget::showEvent(event);
}

QWidget* MainWindow::Find(const char* name) const {
    if (std::string(name) == "txtSize") {
        return txtSize;  // kept off the window
    }
    return findChild<QWidget*>(name);
}

std::string MainWindow::Text(const char* name) const {
    QWidget* control = Find(name);
    if (auto* field = qobject_cast<QLineEdit*>(control)) {
        return PathFromQt(field->text());
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text().toStdString();
    }
    return "";
}

void MainWindow::SetText(const char* name, const std::string& text) {
    QWidget* control = Find(name);
    if (auto* field = qobject_cast<QLineEdit*>(control)) {
        const QString value = PathToQt(text);
        if (locked_text_.count(name)) {
            locked_text_[name] = value;
        }
        field->setText(value);
        field->setCursorPosition(static_cast<int>(value.size()));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(QString::fromStdString(text));
        if (SizesToText(name)) {
            label->adjustSize();
        }
    }
}

bool MainWindow::Checked(const char* name) const {
    return static_cast<QRadioButton*>(Find(name))->isChecked();
}

void MainWindow::Check(const char* name) {
    static_cast<QRadioButton*>(Find(name))->setChecked(true);
}

void MainWindow::SetEnabled(const char* name, bool enabled) {
    Find(name)->setEnabled(enabled);
}

void MainWindow::SetVisible(const char* name, bool visible) {
    QWidget* control = Find(name);
    control->setVisible(visible);
    if (visible) {
        control->raise();
    }
}

void MainWindow::SetLocked(const char* name, bool locked) {
    auto* field = static_cast<QLineEdit*>(Find(name));
    field->setReadOnly(locked);
    if (locked) {
        locked_text_[name] = field->text();
    } else {
        locked_text_.erase(name);
    }
}

void MainWindow::SetProgress(int percent) {
    pgbDone->setValue(percent);
}

void MainWindow::ShowTaskProgress(TaskProgress state, int percent) {
    launcher_->Show(state, percent);
}

void MainWindow::Describe(const char* name, const std::string& text) {
    QWidget* control = Find(name);
    if (control != pgbDone) {
        control->setAccessibleName(QString::fromStdString(text));
        return;
    }
    // Where it fits without moving a control: the bar's tip, and what a screen reader says.
    pgbDone->setToolTip(QString::fromStdString(text));
    pgbDone->setAccessibleDescription(QString::fromStdString(text));
    QAccessibleEvent described(pgbDone, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
}

void MainWindow::Announce(const char* name, const std::string& text) {
    QWidget* control = Find(name);
    control->setAccessibleDescription(QString::fromStdString(text));
    QAccessibleEvent described(control, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
    QAccessibleEvent alert(control, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void MainWindow::PlayClip(bool playing) {
    if (playing) {
        anmFileCopy->play();
    } else {
        anmFileCopy->stop();
    }
}

void MainWindow::SetSpinnerStep(int step) {
    updSpinner->setIncrement(step);
}

std::string MainWindow::Focused() const {
    QWidget* focused = focusWidget();
    return focused ? focused->objectName().toStdString() : std::string();
}

void MainWindow::Focus(const char* name) {
    QWidget* control = Find(name);
    if (control && control->isEnabled() && control->isVisible()) {
        control->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::ShowAbout() {
    // A fresh window at every opening: it loads its texts anew and keeps nothing.
    AboutWindow about(*msg_, this);
    about.exec();
}

void MainWindow::ShowHelp() {
    HelpWindow help(this);
    help.exec();
}

}  // namespace tessarel
