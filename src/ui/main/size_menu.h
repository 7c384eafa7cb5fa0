// The size fields' own menu with the media sizes added: opened with the right button, the menu
// key or Shift+F10. Choosing a medium hands its size to the window. A paste into a size field
// (from the keyboard or the menu) that would not fit in it is refused with the beep, rather
// than cut to a different number.
#pragma once

#include <QObject>
#include <functional>

class QLineEdit;

namespace tessarel {

class MainController;

class SizeMenu : public QObject {
  public:
    // The menu's items, and what a paste may bring, are the controller's to say.
    SizeMenu(std::initializer_list<QLineEdit*> entries, MainController& controller,
             QObject* parent);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Open(QLineEdit* entry, QPoint at);
    // Pastes the clipboard's text when the controller takes all of it.
    void Paste(QLineEdit* entry);
    MainController& controller_;
};

}  // namespace tessarel
