// The size fields' own menu with the media sizes added: opened with the right button, the menu
// key or Shift+F10. Choosing a medium hands its size to the window.
#pragma once

#include <QObject>
#include <functional>

class QLineEdit;

namespace tessarel {

struct MediaSize;

class SizeMenu : public QObject {
  public:
    using Chosen = std::function<void(const MediaSize&)>;
    SizeMenu(std::initializer_list<QLineEdit*> entries, Chosen chosen, QObject* parent);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Open(QLineEdit* entry, QPoint at);
    Chosen chosen_;
};

}  // namespace tessarel
