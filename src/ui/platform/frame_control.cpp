#include "ui/platform/frame_control.h"

#include <QPainter>

namespace tessarel {

FrameControl::FrameControl(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {}

void FrameControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    // Without a caption the border runs along the top; with one it runs through the caption's
    // middle, and the caption interrupts it.
    const int top = caption_.isEmpty() ? 0 : metrics.height() / 2;
    const QRect box = rect().adjusted(0, top, -2, -2);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(box);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(box.translated(1, 1));
    if (!caption_.isEmpty()) {
        const QString text = QString(caption_).remove('&');
        const QRect label(8, 0, metrics.horizontalAdvance(text) + 4, metrics.height());
        painter.fillRect(label, palette().color(QPalette::Window));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(label, Qt::AlignCenter, text);
    }
}

}  // namespace tessarel
