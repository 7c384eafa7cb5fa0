#include "ui/platform/line_control.h"

#include <QPainter>

#include "ui/platform/geometry.h"

namespace tessarel {

LineControl::LineControl(QWidget* parent, int x1, int y1, int x2) : QWidget(parent) {
    setGeometry(Px(x1), Px(y1), Px(x2) - Px(x1) + 1, 1);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::WindowText));
}

}  // namespace tessarel
