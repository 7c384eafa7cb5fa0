#include "ui/platform/up_down_control.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolButton>
#include <algorithm>

#include "design/windows_design.h"

namespace tessarel {
namespace {

// What a screen reader sees of the control: a spin box whose value is the field's number, with
// the actions to step it up and down.
class UpDownAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit UpDownAccessible(UpDownControl* control)
        : QAccessibleWidget(control, QAccessible::SpinBox) {}
    UpDownControl* control() const { return static_cast<UpDownControl*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return QString::number(control()->value());
        }
        return QAccessibleWidget::text(t);
    }
    // The arrows are the control's own parts, not objects of their own.
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }

    QVariant currentValue() const override { return control()->value(); }
    void setCurrentValue(const QVariant& value) override {
        if (control()->isEnabled() && control()->buddy()) {
            const int wanted =
                std::clamp(value.toInt(), control()->minimum(), control()->maximum());
            control()->buddy()->setText(QString::number(wanted));
        }
    }
    QVariant maximumValue() const override { return control()->maximum(); }
    QVariant minimumValue() const override { return control()->minimum(); }
    QVariant minimumStepSize() const override { return control()->increment(); }

    QStringList actionNames() const override {
        return {increaseAction(), decreaseAction(), setFocusAction()};
    }
    void doAction(const QString& name) override {
        if (name == increaseAction()) {
            control()->stepBy(1);
        } else if (name == decreaseAction()) {
            control()->stepBy(-1);
        } else if (name == setFocusAction() && control()->isEnabled()) {
            control()->setFocus(Qt::OtherFocusReason);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* UpDownAccessibleFactory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("tessarel::UpDownControl") && object->isWidgetType()) {
        return new UpDownAccessible(static_cast<UpDownControl*>(object));
    }
    return nullptr;
}

}  // namespace

UpDownControl::UpDownControl(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    static const bool factory_installed = [] {
        QAccessible::installFactory(UpDownAccessibleFactory);
        return true;
    }();
    (void)factory_installed;
    setFocusPolicy(Qt::TabFocus);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setIconSize(QSize(7, 7));
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAccessibleName(kSpinnerUpName);
    down_->setAccessibleName(kSpinnerDownName);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void UpDownControl::setRange(int min, int max) {
    min_ = min;
    max_ = max;
}

int UpDownControl::value() const {
    if (!buddy_) {
        return min_;
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
    return static_cast<int>(std::clamp<qint64>(value, min_, max_));
}

void UpDownControl::stepBy(int direction) {
    if (!buddy_ || !isEnabled()) {
        return;
    }
    const qint64 now = std::clamp<qint64>(value() + qint64(direction) * increment_, min_, max_);
    buddy_->setText(QString::number(now));
    QAccessibleValueChangeEvent changed(this, static_cast<int>(now));
    QAccessible::updateAccessibility(&changed);
}

void UpDownControl::paintEvent(QPaintEvent*) {
    // The focus shows as the system's focus mark around the arrows.
    if (hasFocus()) {
        QStylePainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
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
