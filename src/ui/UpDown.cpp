#include "UpDown.h"

#include <QToolButton>

#include <algorithm>

namespace myrl {

UpDown::UpDown(QWidget* parent, int min, int max)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)), min_(min),
      max_(max) {
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAutoRepeat(true);
    down_->setAutoRepeat(true);
    up_->setFocusPolicy(Qt::NoFocus);
    down_->setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::SetPosition(int position) {
    position_ = std::clamp(position, min_, max_);
}

void UpDown::step(int delta) {
    const int next = std::clamp(position_ + delta, min_, max_);
    if (next == position_) {
        return;
    }
    position_ = next;
    emit Click(delta > 0);
}

void UpDown::resizeEvent(QResizeEvent*) {
    const int h = height() / 2;
    up_->setGeometry(0, 0, width(), h);
    down_->setGeometry(0, h, width(), height() - h);
}

} // namespace myrl
