// An option button that takes a click anywhere in its rectangle, as classic option buttons
// do, not only on its circle and caption; its circle is ringed in the text's colour, so an
// unchosen option shows on any palette (a dark one draws it dark on dark).
#pragma once

#include <QPainter>
#include <QRadioButton>
#include <QStyleOptionButton>

namespace tessarel {

class OptionButton : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void paintEvent(QPaintEvent* event) override {
        QRadioButton::paintEvent(event);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QRect circle = style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, this);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor ring = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                      QPalette::WindowText);
        ring.setAlpha(160);
        painter.setPen(QPen(ring, 1));
        painter.drawEllipse(QRectF(circle).adjusted(0.5, 0.5, -0.5, -0.5));
    }
};

}  // namespace tessarel
