#include "ui/platform/geometry.h"

#include <QPalette>
#include <QScreen>
#include <QScrollArea>
#include <QStringList>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace tessarel {
namespace {

QFont MakeFont(const QStringList& families, double points, int weight) {
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(points);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

}  // namespace

void SetTextColour(QWidget* widget, uint32_t rgb) {
    QPalette palette = widget->palette();
    const QPalette::ColorRole ground =
        widget->autoFillBackground() ? widget->backgroundRole() : QPalette::Window;
    const uint32_t background = palette.color(ground).rgb() & 0xFFFFFF;
    palette.setColor(QPalette::WindowText, QColor::fromRgb(ReadableOn(rgb, background)));
    widget->setPalette(palette);
}

void FitToScreen(QWidget* window, const QRect& available) {
    const QSize whole = window->size();
    if (available.isEmpty() ||
        (whole.width() <= available.width() && whole.height() <= available.height())) {
        return;
    }
    // The contents keep their designed size and places, inside a scrolling view of the room.
    auto* contents = new QWidget;
    contents->setFixedSize(whole);
    for (QObject* child : window->children()) {
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow()) {
            const bool shown = !w->isHidden();
            w->setParent(contents);
            w->setVisible(shown);
        }
    }
    auto* view = new QScrollArea(window);
    view->setWidget(contents);
    view->setFrameShape(QFrame::NoFrame);
    // Room for the scroll bar of the side that does not fit, where the other side can give it:
    // else that bar would cover contents and call for the other bar too.
    QSize room = whole.boundedTo(available.size());
    const int bar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (whole.height() > room.height() && whole.width() + bar <= available.width()) {
        room.setWidth(whole.width() + bar);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    if (whole.width() > room.width() && whole.height() + bar <= available.height()) {
        room.setHeight(whole.height() + bar);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    window->setFixedSize(room);
    view->setGeometry(0, 0, room.width(), room.height());
    view->show();
    window->move(available.topLeft());
}

void FitToScreen(QWidget* window) {
    if (const QScreen* screen = window->screen()) {
        // The window's title bar takes room too; its height is known only once it is shown.
        const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        FitToScreen(window, screen->availableGeometry().adjusted(0, 0, 0, -title));
    }
}

QFont BookmanFont(double points, int weight) {
    return MakeFont(
        {"Bookman Old Style", "URW Bookman", "URW Bookman L", "TeX Gyre Bonum", "serif"}, points,
        weight);
}

QFont CalligraphyFont(double points, int weight) {
    return MakeFont({"Lucida Calligraphy", "Z003", "URW Chancery L", "TeX Gyre Chorus", "cursive"},
                    points, weight);
}

QFont SansFont(double points, int weight) {
    return MakeFont(
        {"MS Sans Serif", "Microsoft Sans Serif", "Nimbus Sans", "DejaVu Sans", "sans-serif"},
        points, weight);
}

QFont FontOf(const FontDesign& design) {
    QFont font = design.face == Face::kBookman       ? BookmanFont(design.points, design.weight)
                 : design.face == Face::kCalligraphy ? CalligraphyFont(design.points, design.weight)
                 : design.face == Face::kSans        ? SansFont(design.points, design.weight)
                                                     : QFont();
    font.setItalic(design.italic);
    font.setUnderline(design.underline);
    return font;
}

}  // namespace tessarel
