#include "ui/main/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>

#include "control/get_file.h"
#include "control/go_command.h"
#include "ui/about/about_window.h"
#include "ui/help/help_window.h"
#include "ui/platform/animation_control.h"
#include "ui/platform/frame_control.h"
#include "ui/platform/geometry.h"
#include "ui/platform/line_control.h"
#include "ui/platform/option_button.h"
#include "ui/platform/qt_file_dialog.h"
#include "ui/platform/qt_message_box.h"
#include "ui/platform/resources.h"
#include "ui/platform/up_down_control.h"

namespace tessarel {
namespace {

constexpr int kClientWidth = 5520;  // twips
constexpr int kClientHeight = 4560;
constexpr int kRegular = 300;  // the Bookman face's own regular weight
constexpr int kDemi = 600;

// Paths cross between Qt's strings and the core's bytes the way the file system spells them,
// so a name the user chose comes back exactly.
std::string ToCore(const QString& text) {
    return QFile::encodeName(text).toStdString();
}
QString FromCore(const std::string& text) {
    return QFile::decodeName(QByteArray::fromStdString(text));
}

// The Go command's view of the window's fields.
class WindowForm : public GoForm {
  public:
    explicit WindowForm(MainWindow& w) : w_(w) {}
    std::string OpenText() const override { return ToCore(w_.txtOpen->text()); }
    std::string SaveText() const override { return ToCore(w_.txtSave->text()); }
    void SetSaveText(const std::string& text) override { w_.txtSave->setText(FromCore(text)); }
    bool SplitSelected() const override { return w_.optSplit->isChecked(); }
    bool ExactSelected() const override { return w_.optExact->isChecked(); }
    std::string ApproxText() const override { return w_.txtApprox->text().toStdString(); }
    std::string ExactText() const override { return w_.txtExact->text().toStdString(); }
    std::string SizeText() const override { return w_.txtSize->text().toStdString(); }
    void SetSizeText(const std::string& text) override {
        w_.txtSize->setText(QString::fromStdString(text));
    }
    void SetTotalCaption(const std::string& text) override {
        w_.lblTotal->setText(QString::fromStdString(text));
        w_.lblTotal->adjustSize();
    }

  private:
    MainWindow& w_;
};

template <typename W>
W* Place(W* widget, int left, int top, int width, int height, const QFont* font = nullptr) {
    widget->setGeometry(TwipRect(left, top, width, height));
    if (font) {
        widget->setFont(*font);
    }
    return widget;
}

FrameControl* Frame(QWidget* parent, const QString& caption, const QString& accessible) {
    auto* frame = new FrameControl(caption, parent);
    frame->setAccessibleName(accessible);
    return frame;
}

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
    setWindowTitle("Tessarel");
    setWindowIcon(QIcon(":/tessarel.xpm"));
    setFixedSize(Px(kClientWidth), Px(kClientHeight));
    BuildControls();
    SetTabOrder();
    Form_Load();
}

MainWindow::~MainWindow() {
    // The options go with the window; focus changes while they do must not reach them.
    disconnect(focus_watch_);
}

void MainWindow::BuildControls() {
    const QFont b825 = BookmanFont(8.25, kRegular);
    const QFont b825demi = BookmanFont(8.25, kDemi);
    const QFont b9 = BookmanFont(9, kRegular);
    const QFont b9demi = BookmanFont(9, kDemi);
    const QFont b975 = BookmanFont(9.75, kRegular);
    const QFont b975demi = BookmanFont(9.75, kDemi);
    const QFont b12 = BookmanFont(12, kRegular);

    fraControls = Place(Frame(this, "", "Commands"), 300, 3360, 3645, 495);
    cmdExit = Place(new QPushButton("E&xit", fraControls), 2430, 60, 1185, 375, &b975demi);
    cmdHelp = Place(new QPushButton("&Help", fraControls), 1245, 60, 1185, 375, &b975demi);
    cmdAbout = Place(new QPushButton("&About", fraControls), 60, 60, 1185, 375, &b975demi);
    cmdExit->setToolTip("Exit");
    cmdHelp->setToolTip("Help");
    cmdAbout->setToolTip("About");

    pgbDone = Place(new QProgressBar(this), 75, 4080, 4305, 405);
    pgbDone->setRange(0, 100);
    pgbDone->setValue(0);
    pgbDone->setTextVisible(false);
    pgbDone->setAccessibleName("Progress");

    cmdGo = Place(new QToolButton(this), 4515, 3240, 900, 1245, &b975demi);
    cmdGo->setText("&Go!");
    cmdGo->setIcon(QIcon(":/go.xpm"));
    cmdGo->setIconSize(QSize(32, 32));
    cmdGo->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    cmdGo->setFocusPolicy(Qt::StrongFocus);
    cmdGo->setAccessibleName("Go");

    txtSize = Place(new QLineEdit("Text3", this), 2340, 600, 885, 285);
    txtSize->setEnabled(false);
    txtSize->setVisible(false);

    fraFiles = Place(Frame(this, "Files", "Files"), 75, 2040, 5340, 1140, &b12);
    txtSave = Place(new QLineEdit(fraFiles), 780, 720, 3165, 330, &b9);
    txtOpen = Place(new QLineEdit(fraFiles), 780, 270, 3165, 330, &b9);
    txtSave->setAccessibleName("File to save");
    txtOpen->setAccessibleName("File to open");
    cmdSave = Place(new QPushButton("Sa&ve As...", fraFiles), 4065, 720, 1185, 330, &b9demi);
    cmdOpen = Place(new QPushButton("&Open...", fraFiles), 4065, 270, 1185, 330, &b9demi);
    Line2 = new LineControl(fraFiles, 30, 660, 5310);

    optJoin = Place(new OptionButton("&Join", this), 3450, 690, 1740, 270, &b975);
    optSplit = Place(new OptionButton("&Split", this), 75, 690, 1740, 270, &b975);
    optSplit->setChecked(true);

    fraOptions = Place(Frame(this, "", "Piece size"), 60, 825, 5340, 1140, &b975);
    fraMultiply = Place(Frame(fraOptions, "", "Spinner step"), 3870, 195, 1380, 435);
    opt10 = Place(new OptionButton("10", fraMultiply), 30, 150, 645, 225, &b825);
    opt100 = Place(new OptionButton("100", fraMultiply), 690, 150, 645, 225, &b825);
    opt10->setChecked(true);
    opt10->setAccessibleName("Step 10");
    opt100->setAccessibleName("Step 100");

    updSpinner = Place(new UpDownControl(fraOptions), 2790, 300, 195, 330);
    txtApprox = Place(new QLineEdit("1400", fraOptions), 1860, 300, 900, 330, &b825demi);
    txtApprox->setMaxLength(6);
    txtApprox->setAccessibleName("Approximate piece size in kilobytes");
    updSpinner->setBuddy(txtApprox);
    updSpinner->setRange(0, 99999);
    updSpinner->setIncrement(10);
    updSpinner->setAccessibleName("Change approximate piece size");

    txtExact = Place(new QLineEdit("0", fraOptions), 1860, 750, 1545, 330, &b825demi);
    txtExact->setMaxLength(9);
    txtExact->setEnabled(false);
    txtExact->setAccessibleName("Exact piece size in bytes");
    optExact = Place(new OptionButton("&Exact", fraOptions), 225, 750, 1665, 240, &b975);
    optApprox = Place(new OptionButton("A&pproximate", fraOptions), 225, 300, 1665, 270, &b975);
    optApprox->setChecked(true);
    lblKB = Place(new QLabel("KBytes", fraOptions), 3060, 330, 735, 285, &b975);
    lblDispByte = Place(new QLabel("Bytes", fraOptions), 3945, 750, 585, 285, &b975);
    Line1 = new LineControl(fraOptions, 0, 675, 5310);
    // Three groups of options, each exclusive on its own: Qt's automatic grouping would take
    // the options inside the frames for siblings of the mode options.
    for (auto [a, b] :
         {std::pair{optSplit, optJoin}, std::pair{optApprox, optExact}, std::pair{opt10, opt100}}) {
        auto* group = new QButtonGroup(this);
        group->addButton(a);
        group->addButton(b);
    }
    // The mode options stand on the size frame's top edge, in front of it.
    for (QRadioButton* mode : {optSplit, optJoin}) {
        mode->setAutoFillBackground(true);
        mode->raise();
    }

    anmFileCopy = Place(new AnimationControl(this), 75, 3240, 3975, 735);
    anmFileCopy->setAccessibleName("Copy in progress");
    Line3 = new LineControl(this, 4080, 3570, 4440);
    lblTotal = Place(new QLabel("10", this), 4140, 3750, 210, 225, &b825);
    lblDone = Place(new QLabel("1", this), 4110, 3240, 105, 225, &b825);
    lblTotal->adjustSize();
    lblDone->adjustSize();
    lblTotal->setAccessibleName("Pieces in all");
    lblDone->setAccessibleName("Piece in work");

    lblTitle = Place(new QLabel("Tessarel Utility", this), 75, 30, 5340, 540);
    QFont title = CalligraphyFont(21.75, 700);
    title.setItalic(true);
    title.setUnderline(true);
    lblTitle->setFont(title);
    lblTitle->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette blue = lblTitle->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblTitle->setPalette(blue);

    // Escape anywhere presses Exit, as the window's cancel button.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cmdExit, &QPushButton::click);
    connect(cmdExit, &QPushButton::clicked, this, &MainWindow::cmdExit_Click);
    connect(cmdGo, &QToolButton::clicked, this, &MainWindow::cmdGo_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &MainWindow::cmdAbout_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &MainWindow::cmdHelp_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &MainWindow::cmdOpen_Click);
    connect(cmdSave, &QPushButton::clicked, this, &MainWindow::cmdSave_Click);
    // An option's Click runs when it becomes the chosen one.
    const std::pair<QRadioButton*, void (MainWindow::*)()> clicks[] = {
        {optSplit, &MainWindow::optSplit_Click},   {optJoin, &MainWindow::optJoin_Click},
        {optApprox, &MainWindow::optApprox_Click}, {optExact, &MainWindow::optExact_Click},
        {opt10, &MainWindow::opt10_Click},         {opt100, &MainWindow::opt100_Click},
    };
    for (const auto& [option, handler] : clicks) {
        connect(option, &QRadioButton::toggled, this, [this, handler = handler](bool on) {
            if (on) {
                (this->*handler)();
            }
        });
    }
    txtApprox->installEventFilter(this);
    txtExact->installEventFilter(this);
}

void MainWindow::SetTabOrder() {
    // Tab indices of the design: the working controls first, the bottom row last.
    const QList<QWidget*> order = {optSplit, optJoin, optApprox, txtApprox, updSpinner, optExact,
                                   txtExact, txtOpen, txtSave,   cmdOpen,   cmdSave,    cmdGo,
                                   opt100,   opt10,   cmdAbout,  cmdHelp,   cmdExit};
    for (int i = 0; i + 1 < order.size(); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }
    // Tab stops at the chosen option of each group only; the arrow keys move within a group.
    // Qt rewrites the options' focus policies as the focus moves, so they are set again after
    // every move and every change of choice.
    // The list is taken once: looking the options up while a child window is being torn down
    // (a closing file dialog moves the focus) would walk a half-destroyed tree.
    const QList<QRadioButton*> options = findChildren<QRadioButton*>();
    auto tab_to_chosen_options = [options] {
        for (QRadioButton* option : options) {
            option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        }
    };
    tab_to_chosen_options();
    focus_watch_ = connect(qApp, &QApplication::focusChanged, this, tab_to_chosen_options);
    for (QRadioButton* option : options) {
        connect(option, &QRadioButton::toggled, this, tab_to_chosen_options);
    }
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
    if (msg_->Show("Are you sure?", kStyleYesNo, "Quit?") == kAnswerYes) {
        anmFileCopy->close();
    } else {
        Cancel = 1;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (operating_) {
        event->ignore();  // the operation must finish or be given up first
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
    WindowForm form(*this);
    tessarel::cmdGo_Click(form, *this, *msg_);
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
    }
    QWidget::showEvent(event);
}

void MainWindow::SetVisible(DisplayPart part, bool visible) {
    switch (part) {
        case DisplayPart::PieceDone:
            lblDone->setVisible(visible);
            break;
        case DisplayPart::FractionBar:
            Line3->setVisible(visible);
            break;
        case DisplayPart::PieceTotal:
            lblTotal->setVisible(visible);
            break;
        case DisplayPart::Animation:
            anmFileCopy->setVisible(visible);
            break;
        case DisplayPart::ButtonRow:
            fraControls->setVisible(visible);
            break;
    }
}

void MainWindow::PlayAnimation() {
    anmFileCopy->play();
}

void MainWindow::StopAnimation() {
    anmFileCopy->stop();
}

void MainWindow::SetPieceDone(const std::string& caption) {
    lblDone->setText(QString::fromStdString(caption));
    lblDone->adjustSize();
}

void MainWindow::SetProgress(float percent) {
    pgbDone->setValue(static_cast<int>(percent));
    PumpEvents();
}

void MainWindow::Repaint() {
    repaint();
    PumpEvents();
}

void MainWindow::BeginOperation() {
    operating_ = true;
    qApp->installEventFilter(this);
    since_pump_.start();
}

void MainWindow::EndOperation() {
    qApp->removeEventFilter(this);
    operating_ = false;
}

void MainWindow::PumpEvents() {
    constexpr int kPumpIntervalMs = 40;  // smooth enough for the clip, cheap for the copy
    if (operating_ && since_pump_.elapsed() >= kPumpIntervalMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        since_pump_.restart();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == txtApprox || watched == txtExact) &&
        RefusedBySizeEntry(watched, static_cast<QKeyEvent*>(event))) {
        return true;
    }
    // While an operation runs, clicks and keys are dropped, not kept for later; only a
    // message box the operation itself shows takes input.
    if (operating_ && event->isInputEvent() && !QApplication::activeModalWidget()) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tessarel

namespace tessarel {

void MainWindow::optSplit_Click() {
    txtOpen->setText("");
    txtSave->setText("");
    optApprox->setEnabled(true);
    optExact->setEnabled(true);
    // The size mode chosen before Join comes back with its entries enabled. (The design turns
    // the chosen option off and on again to run its Click; an exclusive group cannot be left
    // with none chosen, so the Click runs directly.)
    if (optApprox->isChecked()) {
        optApprox_Click();
    } else {
        optExact_Click();
    }
}

void MainWindow::optJoin_Click() {
    txtOpen->setText("");
    txtSave->setText("");
    optApprox->setEnabled(false);
    optExact->setEnabled(false);
    txtApprox->setEnabled(false);
    updSpinner->setEnabled(false);
    opt10->setEnabled(false);
    opt100->setEnabled(false);
    txtExact->setEnabled(false);
}

void MainWindow::optApprox_Click() {
    txtExact->setEnabled(false);
    txtApprox->setEnabled(true);
    updSpinner->setEnabled(true);
    opt10->setEnabled(true);
    opt100->setEnabled(true);
}

void MainWindow::optExact_Click() {
    txtApprox->setEnabled(false);
    updSpinner->setEnabled(false);
    opt10->setEnabled(false);
    opt100->setEnabled(false);
    txtExact->setEnabled(true);
}

void MainWindow::opt10_Click() {
    updSpinner->setIncrement(10);
}

void MainWindow::opt100_Click() {
    updSpinner->setIncrement(100);
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

bool MainWindow::RefusedBySizeEntry(QObject* entry, QKeyEvent* event) {
    // Only typed characters are filtered. Keys that move, select, delete forward, copy or paste
    // type nothing and keep working; so do Tab and Escape, which belong to the window.
    const QString text = event->text();
    const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (text.isEmpty() || (event->modifiers() & commands) || event->key() == Qt::Key_Tab ||
        event->key() == Qt::Key_Backtab || event->key() == Qt::Key_Escape ||
        event->key() == Qt::Key_Delete) {
        return false;
    }
    int KeyAscii = text.at(0).unicode();
    if (entry == txtApprox) {
        txtApprox_KeyPress(KeyAscii);
    } else {
        txtExact_KeyPress(KeyAscii);
    }
    return KeyAscii == 0;
}

std::string MainWindow::GetFile(const std::string& Button) {
    return tessarel::GetFile(*dlgFile_, Button, optJoin->isChecked());
}

void MainWindow::cmdOpen_Click() {
    const std::string chosen = GetFile("Open");
    if (!chosen.empty()) {
        txtOpen->setText(FromCore(chosen));
        txtOpen->setCursorPosition(txtOpen->text().length());
    }
}

void MainWindow::cmdSave_Click() {
    const std::string chosen = GetFile("Save");
    if (!chosen.empty()) {
        txtSave->setText(FromCore(chosen));
        txtSave->setCursorPosition(txtSave->text().length());
    }
}

}  // namespace tessarel
