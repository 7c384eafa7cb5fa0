#include "ui/help/help_window.h"

#include <QButtonGroup>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSignalBlocker>
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
    tbsHelp->bar()->setAccessibleName(kHelpTabsName);

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
                controller_.TopicChosen(j);
            }
        });
    }
    connect(tbsHelp, &TabStrip::clicked, this,
            [this] { controller_.TabChosen(tbsHelp->selectedTab() - 1); });
    // Ctrl+Tab and Ctrl+Shift+Tab go through the tabs from anywhere in the window.
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(next, &QShortcut::activated, this, [this] { controller_.NextTab(true); });
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)}) {
        auto* back = new QShortcut(keys, this);
        connect(back, &QShortcut::activated, this, [this] { controller_.NextTab(false); });
    }
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
        const auto place = [&](QWidget* w, HelpPart part, int left = 0, int top = 0) {
            const TwipsRect r = HelpPartPlace(part, j, CW(), CH());
            PlaceTwips(w, r.left - left, r.top - top, r.width, r.height);
        };
        const TwipsRect frame = HelpPartPlace(HelpPart::kFrame, j, CW(), CH());
        place(fraOv[j], HelpPart::kFrame);
        place(lblOv[j], HelpPart::kHeading, frame.left, frame.top);  // within the frame
        place(txtHelp[j], HelpPart::kText, frame.left, frame.top);
        place(optOv[j], HelpPart::kSelector);
    }
    controller_.Load();
}

void HelpWindow::ShowPage(int page) {
    if (tbsHelp->selectedTab() != page + 1) {
        const QSignalBlocker quiet(tbsHelp->bar());
        tbsHelp->bar()->setCurrentIndex(page);
    }
    // The pages behind are hidden, not only covered, so the keyboard and screen readers reach
    // only what is seen.
    for (int i = 0; i < kPages; ++i) {
        fraHelp[i]->setVisible(i == page);
    }
    fraHelp[page]->raise();
}

void HelpWindow::ShowTopic(int topic, bool in_front) {
    const QSignalBlocker quiet(optOv[topic]);
    optOv[topic]->setChecked(in_front);
    fraOv[topic]->setVisible(in_front);
    if (in_front) {
        fraOv[topic]->raise();
    }
}

}  // namespace tessarel
