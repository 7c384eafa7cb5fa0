#include "ui/about/about_window.h"

#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>

#include "platform/app_info.h"
#include "platform/runtime_error.h"
#include "ui/platform/geometry.h"
#include "ui/platform/resources.h"

namespace tessarel {
namespace {

constexpr int kClientWidth = 5730;  // twips
constexpr int kClientHeight = 3555;

// The etched rule between the texts and the buttons: a grey line over a white one.
class EtchedRule : public QWidget {
  public:
    explicit EtchedRule(QWidget* parent) : QWidget(parent) {
        setGeometry(Px(90), Px(2445), Px(5654) - Px(90) + 1, 3);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(0, 0, width(), 1, QColor(128, 128, 128));  // Line1(1)
        painter.fillRect(1, 1, width() - 1, 2, Qt::white);          // Line1(0), two units wide
    }
};

QLabel* Label(QWidget* parent, const QString& text, int left, int top, int width, int height,
              bool black = true) {
    auto* label = PlaceTwips(new QLabel(text, parent), left, top, width, height);
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
    setWindowTitle("About MyApp");
    setWindowIcon(NoWindowIcon());  // the design gives these windows none
    setFixedSize(Px(kClientWidth), Px(kClientHeight));

    picIcon = new QLabel(this);
    PlaceTwips(picIcon, 240, 240, 540, 540);
    picIcon->setPixmap(QIcon(":/tessarel.xpm").pixmap(32, 32));
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setAccessibleName("Tessarel icon");
    lblTitle = Label(this, "Application Title", 1050, 240, 1815, 480);
    lblVersion = Label(this, "Version", 1050, 780, 3885, 225, false);
    lblDescription = Label(this, "App Description", 1050, 1125, 3885, 600);
    lblComments = Label(this, "App Comment", 1050, 1800, 3885, 570);
    lblName = Label(this, "The Tessarel developers", 3000, 240, 2565, 225);
    Label1 = Label(this, "Split and join, byte for byte", 2880, 465, 2805, 225);
    lblDisclaimer = Label(this, "Warning: ...", 255, 2625, 3870, 825);
    new EtchedRule(this);

    cmdOK = new QPushButton("OK", this);
    PlaceTwips(cmdOK, 4245, 2625, 1260, 345);
    cmdOK->setDefault(true);  // Enter presses it; Escape closes the dialog the same way
    cmdSysInfo = new QPushButton("&System Info...", this);
    PlaceTwips(cmdSysInfo, 4260, 3075, 1245, 345);
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
    const AppInfo& app = TheAppInfo();
    setWindowTitle(QString("About ") + app.title);
    lblVersion->setText(
        QString("Version %1.%2.%3").arg(app.major).arg(app.minor).arg(app.revision));
    lblTitle->setText(app.title);
    lblDisclaimer->setText(app.legal_notice);
    lblDescription->setText(app.file_description);
    lblComments->setText(app.comments);
}

void AboutWindow::StartSysInfo() {
    tessarel::StartSysInfo(*registry_, system_, msg_, TheAppInfo().title);
}

}  // namespace tessarel
