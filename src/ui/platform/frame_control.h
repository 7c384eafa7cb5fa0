// A frame as classic dialogs draw it: an etched rectangle whose caption sits on its top edge.
// Children are placed in the frame's own coordinates, border included.
#pragma once

#include <QWidget>

namespace tessarel {

class FrameControl : public QWidget {
  public:
    FrameControl(const QString& caption, QWidget* parent);
    QString caption() const { return caption_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
};

}  // namespace tessarel
