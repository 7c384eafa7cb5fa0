// An option button that takes a click anywhere in its rectangle, as classic option buttons
// do, not only on its circle and caption.
#pragma once

#include <QRadioButton>

namespace tessarel {

class OptionButton : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace tessarel
