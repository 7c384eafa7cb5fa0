// The size fields' own menu with the media sizes added: opened with the right button, the menu
// key or Shift+F10. Choosing a medium hands its size to the window. A paste into a size field
// (from the keyboard or the menu) that would not fit in it is refused with the beep, rather
// than cut to a different number.
#pragma once

#include <QObject>
#include <functional>

class QLineEdit;

namespace tessarel {

class SizeMenu : public QObject {
  public:
    using Chosen = std::function<void(int index)>;  // of the media table, of kRecoveryChoices
    // takes: whether pasted text may go in (it beeps when not); beep: for a paste too long;
    // recovery: the recovery choice now, and chosen_recovery told of a new one.
    SizeMenu(std::initializer_list<QLineEdit*> entries, Chosen chosen,
             std::function<bool(const QString&)> takes, std::function<void()> beep,
             std::function<int()> recovery, Chosen chosen_recovery, std::function<bool()> numbered,
             std::function<void()> toggle_numbered, QObject* parent);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Open(QLineEdit* entry, QPoint at);
    // Pastes the clipboard's text when all of it fits the field, else beeps.
    void Paste(QLineEdit* entry);
    Chosen chosen_;
    std::function<bool(const QString&)> takes_;
    std::function<void()> beep_;
    std::function<int()> recovery_;
    Chosen chosen_recovery_;
    std::function<bool()> numbered_;
    std::function<void()> toggle_numbered_;
};

}  // namespace tessarel
