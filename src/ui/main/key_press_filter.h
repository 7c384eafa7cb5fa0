// Gives each character typed into an entry to its KeyPress handler, as KeyAscii, and drops the
// key when the handler sets it to 0. Keys that type nothing (moving, selecting, deleting
// forward, copy and paste) and Tab and Escape, which belong to the window, pass untouched.
#pragma once

#include <QObject>
#include <functional>

namespace tessarel {

class KeyPressFilter : public QObject {
  public:
    using Handler = std::function<void(QObject* entry, int& KeyAscii)>;
    KeyPressFilter(Handler handler, QObject* parent)
        : QObject(parent), handler_(std::move(handler)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Handler handler_;
};

}  // namespace tessarel
