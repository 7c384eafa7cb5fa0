// The message box on screen: a QMessageBox dressed by the style number.
#pragma once

#include "platform/message_box.h"

class QMessageBox;
class QWidget;

namespace tessarel {

class QtMessageBox : public MessageBox {
  public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    MsgAnswer Show(const Notice& notice) override;
    void CancelShown() override;

  private:
    QWidget* parent_;
    QMessageBox* shown_ = nullptr;  // the box up now, the latest of nested ones
};

}  // namespace tessarel
