// Plays a silent AVI clip in a loop at the clip's own frame rate. A clip that cannot be read
// leaves the control empty: the window simply goes on without animation.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace tessarel {

class AnimationControl : public QWidget {
    Q_OBJECT
  public:
    explicit AnimationControl(QWidget* parent = nullptr);

    bool open(const QString& path);  // false when the clip is missing or damaged
    void play();
    void stop();
    void close();

    bool isOpen() const { return !frames_.empty(); }
    bool isPlaying() const { return timer_.isActive(); }
    int currentFrame() const { return current_; }
    int frameCount() const { return static_cast<int>(frames_.size()); }
    int frameIntervalMs() const { return timer_.interval(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void advance();

    std::vector<QImage> frames_;
    QTimer timer_;
    int current_ = 0;
};

}  // namespace tessarel
