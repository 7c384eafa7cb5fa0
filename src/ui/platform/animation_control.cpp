#include "ui/platform/animation_control.h"

#include <QPainter>

#include "clip/avi_clip.h"

namespace tessarel {

AnimationControl::AnimationControl(QWidget* parent) : QWidget(parent) {
    connect(&timer_, &QTimer::timeout, this, &AnimationControl::advance);
}

bool AnimationControl::open(const QString& path) {
    close();
    std::optional<AviClip> clip = LoadAvi(path.toStdString());
    if (!clip) {
        return false;
    }
    SetClipBackground(*clip, palette().color(QPalette::Window).rgba());
    for (const std::vector<uint32_t>& pixels : clip->frames) {
        QImage image(reinterpret_cast<const uchar*>(pixels.data()), clip->width, clip->height,
                     clip->width * 4, QImage::Format_ARGB32);
        frames_.push_back(image.copy());  // the clip's buffers go away with it
    }
    timer_.setInterval((clip->frame_interval_us + 500) / 1000);
    current_ = 0;
    update();
    return true;
}

void AnimationControl::play() {
    if (frames_.empty()) {
        return;
    }
    current_ = 0;
    update();
    timer_.start();
}

void AnimationControl::stop() {
    timer_.stop();
}

void AnimationControl::close() {
    timer_.stop();
    frames_.clear();
    current_ = 0;
    update();
}

void AnimationControl::advance() {
    current_ = (current_ + 1) % static_cast<int>(frames_.size());
    update();
}

void AnimationControl::paintEvent(QPaintEvent*) {
    if (frames_.empty()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, frames_[current_]);
}

}  // namespace tessarel
