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
#include <QValidator>

#include <map>
#include <string>

#include "control/media_sizes.h"
#include "design/windows_design.h"
#include "ui/main/key_press_filter.h"
#include "ui/main/main_window.h"
#include "ui/main/size_menu.h"
#include "ui/platform/animation_control.h"
#include "ui/platform/frame_control.h"
#include "ui/platform/geometry.h"
#include "ui/platform/line_control.h"
#include "ui/platform/option_button.h"
#include "ui/platform/paths.h"
#include "ui/platform/up_down_control.h"

namespace tessarel {
namespace {

// The widget of a control of the design, of its kind.
QWidget* MakeControl(const ControlDesign& c, QWidget* parent) {
    switch (c.kind) {
        case ControlKind::kFrame:
            return new FrameControl(c.caption, parent);
        case ControlKind::kButton:
            return new QPushButton(c.caption, parent);
        case ControlKind::kGoButton: {
            auto* go = new QToolButton(parent);
            go->setText(c.caption);
            go->setIcon(QIcon(":/go.xpm"));
            go->setIconSize(QSize(32, 32));
            go->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
            go->setFocusPolicy(Qt::StrongFocus);
            return go;
        }
        case ControlKind::kOption:
            return new OptionButton(c.caption, parent);
        case ControlKind::kText: {
            auto* text = new QLineEdit(c.caption, parent);
            if (c.max_length > 0) {
                text->setMaxLength(c.max_length);
            }
            return text;
        }
        case ControlKind::kLabel:
        case ControlKind::kTitle:
            return new QLabel(c.caption, parent);
        case ControlKind::kLine:
            return new LineControl(parent, c.left, c.top, c.width);
        case ControlKind::kProgress: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::kSpinner:
            return new UpDownControl(parent);
        case ControlKind::kAnimation:
            return new AnimationControl(parent);
    }
    return nullptr;
}

}  // namespace

void MainWindow::BuildControls() {
    // Every control as the design has it, in the order it builds them.
    std::map<std::string, QWidget*> controls;
    std::map<std::string, QButtonGroup*> groups;
    for (int i = 0; i < kMainControlCount; ++i) {
        const ControlDesign& c = kMainControls[i];
        QWidget* parent = *c.parent ? controls.at(c.parent) : this;
        QWidget* w = MakeControl(c, parent);
        controls[c.name] = w;
        w->setObjectName(c.name);
        if (c.kind != ControlKind::kLine) {
            PlaceTwips(w, c.left, c.top, c.width, c.height);
        }
        if (c.font.face != Face::kDefault) {
            w->setFont(FontOf(c.font));
        }
        if (*c.accessible) {
            w->setAccessibleName(c.accessible);
        }
        if (*c.tooltip) {
            w->setToolTip(c.tooltip);
        }
        w->setVisible(c.visible);
        w->setEnabled(c.enabled);
        if (c.kind == ControlKind::kOption) {
            // The options of one container are one exclusive group: Qt's automatic grouping
            // would take the options inside the frames for siblings of the mode options.
            QButtonGroup*& group = groups[c.parent];
            if (!group) {
                group = new QButtonGroup(this);
            }
            auto* option = static_cast<QRadioButton*>(w);
            group->addButton(option);
            option->setChecked(c.checked);
        }
        if (SizesToText(c.name)) {
            static_cast<QLabel*>(w)->adjustSize();
        }
    }
    auto get = [&](const char* name) { return controls.at(name); };
    fraControls = static_cast<FrameControl*>(get("fraControls"));
    cmdExit = static_cast<QPushButton*>(get("cmdExit"));
    cmdHelp = static_cast<QPushButton*>(get("cmdHelp"));
    cmdAbout = static_cast<QPushButton*>(get("cmdAbout"));
    cmdCancel = static_cast<QPushButton*>(get("cmdCancel"));
    pgbDone = static_cast<QProgressBar*>(get("pgbDone"));
    cmdGo = static_cast<QToolButton*>(get("cmdGo"));
    txtSize = static_cast<QLineEdit*>(get("txtSize"));
    // The hidden size field only keeps the bytes; off the window, no screen reader meets it.
    offstage_ = std::make_unique<QWidget>();
    txtSize->setParent(offstage_.get());
    fraFiles = static_cast<FrameControl*>(get("fraFiles"));
    txtSave = static_cast<QLineEdit*>(get("txtSave"));
    txtOpen = static_cast<QLineEdit*>(get("txtOpen"));
    cmdSave = static_cast<QPushButton*>(get("cmdSave"));
    cmdOpen = static_cast<QPushButton*>(get("cmdOpen"));
    Line2 = static_cast<LineControl*>(get("Line2"));
    optJoin = static_cast<QRadioButton*>(get("optJoin"));
    optSplit = static_cast<QRadioButton*>(get("optSplit"));
    fraOptions = static_cast<FrameControl*>(get("fraOptions"));
    fraMultiply = static_cast<FrameControl*>(get("fraMultiply"));
    opt10 = static_cast<QRadioButton*>(get("opt10"));
    opt100 = static_cast<QRadioButton*>(get("opt100"));
    updSpinner = static_cast<UpDownControl*>(get("updSpinner"));
    txtApprox = static_cast<QLineEdit*>(get("txtApprox"));
    txtExact = static_cast<QLineEdit*>(get("txtExact"));
    optExact = static_cast<QRadioButton*>(get("optExact"));
    optApprox = static_cast<QRadioButton*>(get("optApprox"));
    lblKB = static_cast<QLabel*>(get("lblKB"));
    lblDispByte = static_cast<QLabel*>(get("lblDispByte"));
    Line1 = static_cast<LineControl*>(get("Line1"));
    anmFileCopy = static_cast<AnimationControl*>(get("anmFileCopy"));
    Line3 = static_cast<LineControl*>(get("Line3"));
    lblTotal = static_cast<QLabel*>(get("lblTotal"));
    lblDone = static_cast<QLabel*>(get("lblDone"));
    lblTitle = static_cast<QLabel*>(get("lblTitle"));

    updSpinner->setBuddy(txtApprox);
    updSpinner->setRange(kSpinnerMinimum, kSpinnerMaximum);
    updSpinner->setIncrement(kSpinnerSteps[0]);
    lblTitle->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    SetTextColour(lblTitle, kTitleColour);
    // The mode options stand on the size frame's top edge, in front of it.
    for (QRadioButton* mode : {optSplit, optJoin}) {
        mode->setAutoFillBackground(true);
        mode->raise();
    }
    cmdCancel->raise();
}

namespace {

// A size field takes only what the controller's rule lets in, however it comes (typed, pasted,
// dropped, or put in by a screen reader).
class SizeTextValidator : public QValidator {
  public:
    explicit SizeTextValidator(QObject* parent) : QValidator(parent) {}
    State validate(QString& text, int&) const override {
        return IsSizeText(text.toStdString()) ? Acceptable : Invalid;
    }
};

}  // namespace

void MainWindow::WireControls() {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] { controller_->EscapePressed(); });
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             cmdExit, cmdGo, cmdAbout, cmdCancel, cmdHelp, cmdOpen, cmdSave}) {
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { controller_->Clicked(button->objectName().toStdString()); });
    }
    // An option's Click runs when it becomes the chosen one.
    for (QRadioButton* option : {optSplit, optJoin, optApprox, optExact, opt10, opt100}) {
        connect(option, &QRadioButton::toggled, this, [this, option](bool on) {
            if (on) {
                controller_->OptionChosen(option->objectName().toStdString());
            }
        });
    }
    // A locked field keeps its text, whatever route tries to change it.
    for (QLineEdit* field : findChildren<QLineEdit*>()) {
        connect(field, &QLineEdit::textChanged, this, [this, field](const QString& text) {
            const auto locked = locked_text_.find(field->objectName().toStdString());
            if (locked != locked_text_.end() && text != locked->second) {
                field->setText(locked->second);
            }
        });
    }
    // The size entries take digits only: typed ones through the controller's key rule, and
    // every other route through its text rule.
    auto* digits = new KeyPressFilter(
        [this](QObject*, int& KeyAscii) {
            if (!controller_->TakesKey(KeyAscii)) {
                KeyAscii = 0;
            }
        },
        this);
    for (QLineEdit* entry : {txtApprox, txtExact}) {
        entry->installEventFilter(digits);
        entry->setValidator(new SizeTextValidator(entry));
    }
    // The size fields' own menu also offers the media sizes: one fills Exact with its bytes
    // and chooses Exact.
    new SizeMenu({txtApprox, txtExact}, *controller_, this);
}

void MainWindow::SetTabOrder() {
    // Tab indices of the design: the working controls first, the bottom row last.
    QList<QWidget*> order;
    for (int i = 0; i < kMainTabOrderCount; ++i) {
        order.append(findChild<QWidget*>(kMainTabOrder[i]));
    }
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
