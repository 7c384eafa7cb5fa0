#include "ui/platform/up_down_control.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace tessarel {

UpDownControl::UpDownControl(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    setFocusPolicy(Qt::TabFocus);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setIconSize(QSize(7, 7));
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAccessibleName("Up");
    down_->setAccessibleName("Down");
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void UpDownControl::setRange(int min, int max) {
    min_ = min;
    max_ = max;
}

void UpDownControl::stepBy(int direction) {
    if (!buddy_ || !isEnabled()) {
        return;
    }
    // The field may hold anything a user pasted; its leading digits are the value.
    const QString text = buddy_->text().trimmed();
    qint64 value = 0;
    for (QChar c : text) {
        if (!c.isDigit() || value > max_) {
            break;
        }
        value = value * 10 + c.digitValue();
    }
    value = std::clamp<qint64>(value + qint64(direction) * increment_, min_, max_);
    buddy_->setText(QString::number(value));
}

void UpDownControl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        stepBy(1);
    } else if (event->key() == Qt::Key_Down) {
        stepBy(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void UpDownControl::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

}  // namespace tessarel
