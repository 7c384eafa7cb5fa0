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

constexpr int kClientWidth = kHelpClientWidth;  // twips
constexpr int kClientHeight = kHelpClientHeight;

QString TopicText(int topic) {
    return QString::fromUtf8(HelpText(topic));
}

}  // namespace

int HelpWindow::PageOf(int topic) {
    return kHelpTopics[topic].page;
}

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
    EnsureResources();
    setWindowTitle(kHelpCaption);
    setWindowIcon(NoWindowIcon());  // the design gives these windows none
    setFixedSize(Px(kClientWidth), Px(kClientHeight));

    tbsHelp = new TabStrip(this);
    PlaceTwips(tbsHelp, 0, 0, kClientWidth, kClientHeight);
    for (const HelpTab& tab : kHelpTabs) {
        tbsHelp->addTab(tab.caption, tab.key);
    }
    tbsHelp->bar()->setAccessibleName("Help topics");

    std::array<QButtonGroup*, kPages> groups{};
    for (int i = 0; i < kPages; ++i) {
        fraHelp[i] = new FrameControl("", this);
        fraHelp[i]->setAutoFillBackground(true);  // a page in front covers those behind it
        fraHelp[i]->setAccessibleName(kHelpTabs[i].caption);
        groups[i] = new QButtonGroup(fraHelp[i]);
    }
    for (int j = 0; j < kTopics; ++j) {
        const HelpTopic& t = kHelpTopics[j];
        QWidget* page = fraHelp[t.page];
        optOv[j] = new OptionButton(t.heading, page);
        optOv[j]->setFont(FontOf(kHelpSelectorFont));
        optOv[j]->setChecked(t.on_at_start);
        groups[t.page]->addButton(optOv[j]);
        fraOv[j] = new FrameControl("", page);
        fraOv[j]->setAutoFillBackground(true);
        lblOv[j] = new QLabel(t.heading, fraOv[j]);
        lblOv[j]->setFont(FontOf(kHelpHeadingFont));
        lblOv[j]->setAutoFillBackground(true);
        // The heading's colours go together: dark text on its light yellow, whatever the theme.
        QPalette yellow = lblOv[j]->palette();
        yellow.setColor(QPalette::Window, QColor::fromRgb(kHelpHeadingBackground));
        yellow.setColor(QPalette::WindowText, QColor::fromRgb(kHelpHeadingText));
        lblOv[j]->setPalette(yellow);
        txtHelp[j] = new QPlainTextEdit(TopicText(j), fraOv[j]);
        txtHelp[j]->setFont(FontOf(kHelpTextFont));
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
    FitToScreen(this);
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
        PlaceTwips(optOv[j], kHelpTopics[j].selector_left, 150, kHelpTopics[j].selector_width, 400);
    }
    // The page and topics in front at start; those behind are hidden, not only covered, so the
    // keyboard and screen readers reach only what is seen.
    ShowPage(0);
    for (int j = 0; j < kTopics; ++j) {
        if (kHelpTopics[j].on_at_start) {
            optOv_Click(j);
        }
    }
}

void HelpWindow::ShowPage(int index) {
    for (int i = 0; i < kPages; ++i) {
        fraHelp[i]->setVisible(i == index);
    }
    fraHelp[index]->raise();
}

void HelpWindow::tbsHelp_Click() {
    ShowPage(tbsHelp->selectedTab() - 1);
}

void HelpWindow::optOv_Click(int Index) {
    // The topic in front of its page; the page's other topics are hidden.
    for (int j = 0; j < kTopics; ++j) {
        if (kHelpTopics[j].page == kHelpTopics[Index].page) {
            fraOv[j]->setVisible(j == Index);
        }
    }
    fraOv[Index]->raise();
}

}  // namespace tessarel
