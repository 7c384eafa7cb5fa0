#include "ui/platform/tab_strip.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace tessarel {

namespace {
constexpr int kBorder = 2;
}

TabStrip::TabStrip(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    connect(bar_, &QTabBar::currentChanged, this, &TabStrip::clicked);
}

void TabStrip::addTab(const QString& caption, const QString& key) {
    const int index = bar_->addTab(caption);
    bar_->setTabData(index, key);
    bar_->resize(width(), bar_->sizeHint().height());
}

int TabStrip::selectedTab() const {
    return bar_->currentIndex() + 1;
}

QString TabStrip::selectedKey() const {
    return bar_->tabData(bar_->currentIndex()).toString();
}

QRect TabStrip::clientArea() const {
    const int top = bar_->sizeHint().height() + kBorder;
    return QRect(x() + kBorder, y() + top, width() - 2 * kBorder, height() - top - kBorder);
}

void TabStrip::resizeEvent(QResizeEvent*) {
    bar_->resize(width(), bar_->sizeHint().height());
}

void TabStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, bar_->sizeHint().height() - 1, 0, 0);
    frame.shape = QTabBar::RoundedNorth;
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

}  // namespace tessarel
