#include "ui/about/about_window.h"

#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>

#include "design/windows_design.h"
#include "platform/app_info.h"
#include "platform/runtime_error.h"
#include "ui/platform/geometry.h"
#include "ui/platform/resources.h"

namespace tessarel {
namespace {

// The etched rule between the texts and the buttons: a grey line over a white one.
class EtchedRule : public QWidget {
  public:
    explicit EtchedRule(QWidget* parent) : QWidget(parent) {
        setGeometry(Px(kAboutRuleLeft), Px(kAboutRuleTop),
                    Px(kAboutRuleRight) - Px(kAboutRuleLeft) + 1, 3);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(0, 0, width(), 1, QColor(128, 128, 128));  // Line1(1)
        painter.fillRect(1, 1, width() - 1, 2, Qt::white);          // Line1(0), two units wide
    }
};

// A control's row of the design.
const ControlDesign& Design(const char* name) {
    return *FindControl(kAboutControls, kAboutControlCount, name);
}

template <typename Widget>
Widget* Placed(Widget* widget, const ControlDesign& c) {
    return PlaceTwips(widget, c.left, c.top, c.width, c.height);
}

QLabel* Label(QWidget* parent, const char* name, bool black = true) {
    const ControlDesign& c = Design(name);
    auto* label = Placed(new QLabel(c.caption, parent), c);
    label->setObjectName(c.name);
    label->setFont(BookmanFont(9, 300));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (black) {
        SetTextColour(label, kAboutTextColour);
    }
    return label;
}

SysInfoSystem DefaultSystem() {
    SysInfoSystem system;
    system.start_program = [](const std::string& path) {
        if (!QProcess::startDetached(QString::fromStdString(path), {})) {
            throw RuntimeError(kErrFileNotFound);
        }
    };
    system.normal_file_exists = [](const std::string& path) {
        const QFileInfo info(QString::fromStdString(path));
        return info.isFile() && !info.isHidden();
    };
    return system;
}

}  // namespace

AboutWindow::AboutWindow(MessageBox& message_box, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      msg_(message_box),
      registry_(SystemRegistry()),
      system_(DefaultSystem()) {
    EnsureResources();
    setWindowTitle(kAboutCaption);
    setWindowIcon(NoWindowIcon());  // the design gives these windows none
    setFixedSize(Px(kAboutClientWidth), Px(kAboutClientHeight));

    picIcon = Placed(new QLabel(this), Design("picIcon"));
    picIcon->setPixmap(QIcon(":/tessarel.xpm").pixmap(32, 32));
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setAccessibleName(Design("picIcon").accessible);
    lblTitle = Label(this, "lblTitle");
    lblVersion = Label(this, "lblVersion", false);
    lblDescription = Label(this, "lblDescription");
    lblComments = Label(this, "lblComments");
    lblName = Label(this, "lblName");
    Label1 = Label(this, "Label1");
    lblDisclaimer = Label(this, "lblDisclaimer");
    new EtchedRule(this);

    cmdOK = Placed(new QPushButton(Design("cmdOK").caption, this), Design("cmdOK"));
    cmdOK->setDefault(true);  // Enter presses it; Escape closes the dialog the same way
    cmdSysInfo = Placed(new QPushButton(Design("cmdSysInfo").caption, this), Design("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutWindow::StartSysInfo);
    Form_Load();
    FitToScreen(this);
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::SetSystem(std::unique_ptr<Registry> registry, SysInfoSystem system) {
    registry_ = std::move(registry);
    system_ = std::move(system);
}

void AboutWindow::Form_Load() {
    const AboutTexts texts = AboutTextsOf(TheAppInfo());
    setWindowTitle(QString::fromStdString(texts.caption));
    for (const auto& [name, text] : texts.labels) {
        findChild<QLabel*>(QString::fromStdString(name))->setText(QString::fromStdString(text));
    }
}

void AboutWindow::StartSysInfo() {
    tessarel::StartSysInfo(*registry_, system_, msg_, TheAppInfo().title);
}

}  // namespace tessarel
