// A thin horizontal rule drawn between two points of its container.
#pragma once

#include <QWidget>

namespace tessarel {

class LineControl : public QWidget {
  public:
    // Coordinates in twips, relative to the parent.
    LineControl(QWidget* parent, int x1, int y1, int x2);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessarel
