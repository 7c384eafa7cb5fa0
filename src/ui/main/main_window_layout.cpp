// The main window's controls: where each stands (in twips, as designed), its font, caption and
// accessible name, the option groups, the wiring of the handlers and the tab order.
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QToolButton>

#include "engine/piece_series.h"
#include "ui/main/key_press_filter.h"
#include "ui/main/main_window.h"
#include "ui/platform/animation_control.h"
#include "ui/platform/frame_control.h"
#include "ui/platform/geometry.h"
#include "ui/platform/line_control.h"
#include "ui/platform/option_button.h"
#include "ui/platform/up_down_control.h"

namespace tessarel {
namespace {

constexpr int kRegular = 300;  // the Bookman face's own regular weight
constexpr int kDemi = 600;
// Sizes reach the largest file a series can hold: ten digits of bytes, or that in kilobytes.
constexpr int kMaxApproxKilobytes = static_cast<int>(kMaxSourceLength / 1024);

FrameControl* Frame(QWidget* parent, const QString& caption, const QString& accessible) {
    auto* frame = new FrameControl(caption, parent);
    frame->setAccessibleName(accessible);
    return frame;
}

}  // namespace

void MainWindow::BuildControls() {
    const QFont b825 = BookmanFont(8.25, kRegular);
    const QFont b825demi = BookmanFont(8.25, kDemi);
    const QFont b9 = BookmanFont(9, kRegular);
    const QFont b9demi = BookmanFont(9, kDemi);
    const QFont b975 = BookmanFont(9.75, kRegular);
    const QFont b975demi = BookmanFont(9.75, kDemi);
    const QFont b12 = BookmanFont(12, kRegular);

    fraControls = PlaceTwips(Frame(this, "", "Commands"), 300, 3360, 3645, 495);
    cmdExit = PlaceTwips(new QPushButton("E&xit", fraControls), 2430, 60, 1185, 375, &b975demi);
    cmdHelp = PlaceTwips(new QPushButton("&Help", fraControls), 1245, 60, 1185, 375, &b975demi);
    cmdAbout = PlaceTwips(new QPushButton("&About", fraControls), 60, 60, 1185, 375, &b975demi);
    cmdExit->setToolTip("Exit");
    cmdHelp->setToolTip("Help");
    cmdAbout->setToolTip("About");
    // Where Help stands in the row, which an operation hides: over the clip's middle, clear of
    // its two pictures.
    cmdCancel =
        PlaceTwips(new QPushButton("Cancel", this), 300 + 1245, 3360 + 60, 1185, 375, &b975demi);
    cmdCancel->setAccessibleName("Cancel");
    cmdCancel->setVisible(false);

    pgbDone = PlaceTwips(new QProgressBar(this), 75, 4080, 4305, 405);
    pgbDone->setRange(0, 100);
    pgbDone->setValue(0);
    pgbDone->setTextVisible(false);
    pgbDone->setAccessibleName("Progress");

    cmdGo = PlaceTwips(new QToolButton(this), 4515, 3240, 900, 1245, &b975demi);
    cmdGo->setText("&Go!");
    cmdGo->setIcon(QIcon(":/go.xpm"));
    cmdGo->setIconSize(QSize(32, 32));
    cmdGo->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    cmdGo->setFocusPolicy(Qt::StrongFocus);
    cmdGo->setAccessibleName("Go");

    txtSize = PlaceTwips(new QLineEdit("Text3", this), 2340, 600, 885, 285);
    txtSize->setEnabled(false);
    txtSize->setVisible(false);

    fraFiles = PlaceTwips(Frame(this, "Files", "Files"), 75, 2040, 5340, 1140, &b12);
    txtSave = PlaceTwips(new QLineEdit(fraFiles), 780, 720, 3165, 330, &b9);
    txtOpen = PlaceTwips(new QLineEdit(fraFiles), 780, 270, 3165, 330, &b9);
    txtSave->setAccessibleName("File to save");
    txtOpen->setAccessibleName("File to open");
    cmdSave = PlaceTwips(new QPushButton("Sa&ve As...", fraFiles), 4065, 720, 1185, 330, &b9demi);
    cmdOpen = PlaceTwips(new QPushButton("&Open...", fraFiles), 4065, 270, 1185, 330, &b9demi);
    Line2 = new LineControl(fraFiles, 30, 660, 5310);

    optJoin = PlaceTwips(new OptionButton("&Join", this), 3450, 690, 1740, 270, &b975);
    optSplit = PlaceTwips(new OptionButton("&Split", this), 75, 690, 1740, 270, &b975);
    optSplit->setChecked(true);

    fraOptions = PlaceTwips(Frame(this, "", "Piece size"), 60, 825, 5340, 1140, &b975);
    fraMultiply = PlaceTwips(Frame(fraOptions, "", "Spinner step"), 3870, 195, 1380, 435);
    opt10 = PlaceTwips(new OptionButton("10", fraMultiply), 30, 150, 645, 225, &b825);
    opt100 = PlaceTwips(new OptionButton("100", fraMultiply), 690, 150, 645, 225, &b825);
    opt10->setChecked(true);
    opt10->setAccessibleName("Step 10");
    opt100->setAccessibleName("Step 100");

    updSpinner = PlaceTwips(new UpDownControl(fraOptions), 2790, 300, 195, 330);
    txtApprox = PlaceTwips(new QLineEdit("1400", fraOptions), 1860, 300, 900, 330, &b825demi);
    txtApprox->setMaxLength(7);
    txtApprox->setAccessibleName("Approximate piece size in kilobytes");
    updSpinner->setBuddy(txtApprox);
    updSpinner->setRange(0, kMaxApproxKilobytes);
    updSpinner->setIncrement(10);
    updSpinner->setAccessibleName("Change approximate piece size");

    txtExact = PlaceTwips(new QLineEdit("0", fraOptions), 1860, 750, 1545, 330, &b825demi);
    txtExact->setMaxLength(10);
    txtExact->setEnabled(false);
    txtExact->setAccessibleName("Exact piece size in bytes");
    optExact = PlaceTwips(new OptionButton("&Exact", fraOptions), 225, 750, 1665, 240, &b975);
    optApprox =
        PlaceTwips(new OptionButton("A&pproximate", fraOptions), 225, 300, 1665, 270, &b975);
    optApprox->setChecked(true);
    lblKB = PlaceTwips(new QLabel("KBytes", fraOptions), 3060, 330, 735, 285, &b975);
    lblDispByte = PlaceTwips(new QLabel("Bytes", fraOptions), 3945, 750, 585, 285, &b975);
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

    anmFileCopy = PlaceTwips(new AnimationControl(this), 75, 3240, 3975, 735);
    anmFileCopy->setAccessibleName("Copy in progress");
    Line3 = new LineControl(this, 4080, 3570, 4440);
    lblTotal = PlaceTwips(new QLabel("10", this), 4140, 3750, 210, 225, &b825);
    lblDone = PlaceTwips(new QLabel("1", this), 4110, 3240, 105, 225, &b825);
    lblTotal->adjustSize();
    lblDone->adjustSize();
    lblTotal->setAccessibleName("Pieces in all");
    lblDone->setAccessibleName("Piece in work");

    lblTitle = PlaceTwips(new QLabel("Tessarel Utility", this), 75, 30, 5340, 540);
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
    // Go runs from the event loop, not inside the click: whoever pressed it (a screen reader's
    // press action too) gets its answer at once, not after the whole operation.
    // A second press before the request has started is the same request, not another one.
    connect(cmdGo, &QToolButton::clicked, this, [this] {
        if (!go_pending_) {
            go_pending_ = true;
            QMetaObject::invokeMethod(this, &MainWindow::cmdGo_Click, Qt::QueuedConnection);
        }
    });
    connect(cmdAbout, &QPushButton::clicked, this, &MainWindow::cmdAbout_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &MainWindow::cmdCancel_Click);
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
    // The size entries take digits only; their KeyPress handlers decide.
    auto* digits = new KeyPressFilter(
        [this](QObject* entry, int& KeyAscii) {
            if (entry == txtApprox) {
                txtApprox_KeyPress(KeyAscii);
            } else {
                txtExact_KeyPress(KeyAscii);
            }
        },
        this);
    txtApprox->installEventFilter(digits);
    txtExact->installEventFilter(digits);
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

}  // namespace tessarel
