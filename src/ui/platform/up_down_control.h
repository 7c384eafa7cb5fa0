// A pair of arrow buttons tied to a text field: a click changes the number in the field by
// the current step, kept within the control's range. Up and Down keys do the same when the
// control has the focus. A screen reader meets it as a spin box with its value, and steps it.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace tessarel {

class UpDownControl : public QWidget {
    Q_OBJECT
  public:
    explicit UpDownControl(QWidget* parent = nullptr);

    void setBuddy(QLineEdit* buddy) { buddy_ = buddy; }
    void setRange(int min, int max);
    void setIncrement(int step) { increment_ = step; }
    int increment() const { return increment_; }
    int minimum() const { return min_; }
    int maximum() const { return max_; }

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    void stepBy(int direction);
    // The number the field holds: its leading digits, within the range.
    int value() const;
    QLineEdit* buddy() const { return buddy_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QLineEdit* buddy_ = nullptr;
    QToolButton* up_;
    QToolButton* down_;
    int min_ = 0;
    int max_ = 100;
    int increment_ = 1;
};

}  // namespace tessarel
