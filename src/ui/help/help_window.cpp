#include "ui/help/help_window.h"

#include <QButtonGroup>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabBar>

#include "ui/platform/frame_control.h"
#include "ui/platform/geometry.h"
#include "ui/platform/option_button.h"
#include "ui/platform/resources.h"
#include "ui/platform/tab_strip.h"

namespace tessarel {
namespace {

constexpr int kClientWidth = 7155;  // twips
constexpr int kClientHeight = 5610;

struct Tab {
    const char* key;
    const char* caption;
};
constexpr Tab kTabs[HelpWindow::kPages] = {{"Over", "Overview"},
                                           {"How", "How to use Tessarel"},
                                           {"Safe", "Safety Features"},
                                           {"About", "About"}};

struct Topic {
    int page;
    const char* heading;
    int selector_left;  // twips
    int selector_width;
    bool on_at_start;
};
constexpr Topic kTopicTable[HelpWindow::kTopics] = {
    {0, "Overview of Application", 25, 2600, true},
    {0, "Use of Application", 2500, 2600, false},
    {1, "How to Split a File", 25, 2150, true},
    {1, "How to Join a File", 2200, 2150, false},
    {1, "How to Use Other Controls", 4405, 2600, false},
    {2, "Error Handling", 25, 2600, true},
    {2, "Minimum Requirements", 2500, 2600, false},
    {3, "About Programmer", 25, 2600, true},
    {3, "Your Comments", 2500, 2600, false},
};

QFont SansFont(double points) {
    QFont font;
    font.setFamilies(
        {"MS Sans Serif", "Microsoft Sans Serif", "Nimbus Sans", "DejaVu Sans", "sans-serif"});
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QString TopicText(int topic) {
    QFile file(QString(":/help/topic%1.txt").arg(topic));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

}  // namespace

int HelpWindow::PageOf(int topic) {
    return kTopicTable[topic].page;
}

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
    EnsureResources();
    setWindowTitle("Tessarel Help");
    setWindowIcon(NoWindowIcon());  // the design gives these windows none
    setFixedSize(Px(kClientWidth), Px(kClientHeight));

    tbsHelp = new TabStrip(this);
    PlaceTwips(tbsHelp, 0, 0, kClientWidth, kClientHeight);
    for (const Tab& tab : kTabs) {
        tbsHelp->addTab(tab.caption, tab.key);
    }
    tbsHelp->bar()->setAccessibleName("Help topics");

    std::array<QButtonGroup*, kPages> groups{};
    for (int i = 0; i < kPages; ++i) {
        fraHelp[i] = new FrameControl("", this);
        fraHelp[i]->setAutoFillBackground(true);  // a page in front covers those behind it
        fraHelp[i]->setAccessibleName(kTabs[i].caption);
        groups[i] = new QButtonGroup(fraHelp[i]);
    }
    for (int j = 0; j < kTopics; ++j) {
        const Topic& t = kTopicTable[j];
        QWidget* page = fraHelp[t.page];
        optOv[j] = new OptionButton(t.heading, page);
        optOv[j]->setFont(SansFont(8.25));
        optOv[j]->setChecked(t.on_at_start);
        groups[t.page]->addButton(optOv[j]);
        fraOv[j] = new FrameControl("", page);
        fraOv[j]->setAutoFillBackground(true);
        lblOv[j] = new QLabel(t.heading, fraOv[j]);
        lblOv[j]->setFont(BookmanFont(15.75, 600));
        lblOv[j]->setAutoFillBackground(true);
        QPalette yellow = lblOv[j]->palette();
        yellow.setColor(QPalette::Window, QColor(255, 255, 192));
        lblOv[j]->setPalette(yellow);
        txtHelp[j] = new QPlainTextEdit(TopicText(j), fraOv[j]);
        txtHelp[j]->setFont(SansFont(9.75));
        txtHelp[j]->setReadOnly(true);  // help is to be read; it can still be selected and copied
        txtHelp[j]->setAccessibleName(QString(t.heading) + " text");
        connect(optOv[j], &QRadioButton::toggled, this, [this, j](bool on) {
            if (on) {
                optOv_Click(j);
            }
        });
    }
    connect(tbsHelp, &TabStrip::clicked, this, &HelpWindow::tbsHelp_Click);
    Form_Load();
}

void HelpWindow::Form_Load() {
    tbsHelp->move(0, 0);
    // The client area, in twips, read afresh for each use as the tab strip reports it.
    auto CL = [this] { return tbsHelp->clientArea().x() * kTwipsPerPixel; };
    auto CT = [this] { return tbsHelp->clientArea().y() * kTwipsPerPixel; };
    auto CW = [this] { return tbsHelp->clientArea().width() * kTwipsPerPixel; };
    auto CH = [this] { return tbsHelp->clientArea().height() * kTwipsPerPixel; };
    for (FrameControl* page : fraHelp) {
        PlaceTwips(page, CL(), CT(), CW(), CH());
    }
    for (int j = 0; j < kTopics; ++j) {
        PlaceTwips(fraOv[j], 35, 450, CW() - 35 - 35, CH() - 450);
        PlaceTwips(lblOv[j], 25, 100, CW() - 35 - 35 - 25, 500);
        // The text ends inside its frame. Made CH - 600 high it would reach 450 twips below the
        // frame, which would cut off its last lines and the foot of its scroll bar, out of reach.
        PlaceTwips(txtHelp[j], 25, 600, CW() - 35 - 35 - 25, CH() - 450 - 600 - 35);
        PlaceTwips(optOv[j], kTopicTable[j].selector_left, 150, kTopicTable[j].selector_width, 400);
    }
    for (QWidget* front : {static_cast<QWidget*>(fraHelp[0]), static_cast<QWidget*>(fraOv[0]),
                           static_cast<QWidget*>(fraOv[2]), static_cast<QWidget*>(fraOv[5]),
                           static_cast<QWidget*>(fraOv[7])}) {
        front->raise();
    }
}

void HelpWindow::tbsHelp_Click() {
    const int k = tbsHelp->selectedTab();
    fraHelp[k - 1]->raise();
}

void HelpWindow::optOv_Click(int Index) {
    fraOv[Index]->raise();
}

}  // namespace tessarel
