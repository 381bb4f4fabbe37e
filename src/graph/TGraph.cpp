#include "TGraph.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <bit>
#include <cmath>

namespace myrl {

namespace {

static_assert(std::endian::native == std::endian::little,
              "the canvas is shown as R, G, B, X bytes");

QPoint pixelOf(const QMouseEvent* event) {
    const QPointF p = event->position();
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

} // namespace

TGraph::TGraph(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    plot_.canvas().SetDrawHook([this] {
        if (!presentPending_) {
            presentPending_ = true;
            QMetaObject::invokeMethod(this, &TGraph::present, Qt::QueuedConnection);
        }
    });
    // The chart takes the widget's size at the first resize or access, so a widget placed
    // before it is used never allocates a canvas for its default size.
}

TGraph::~TGraph() {
    plot_.canvas().SetDrawHook({});
}

GraphPlot& TGraph::plot() {
    syncSize();
    return plot_;
}

QSize TGraph::sizeHint() const {
    return size();
}

void TGraph::syncSize() {
    // width()/height() are current even while the widget is hidden, when Qt holds back
    // its resize event until the widget is shown.
    if (plot_.Width() != width() || plot_.Height() != height()) {
        plot_.SetSize(width(), height());
    }
}

void TGraph::present() {
    presentPending_ = false;
    const Canvas& c = plot_.canvas();
    const size_t count = static_cast<size_t>(c.Width()) * static_cast<size_t>(c.Height());
    // The chart is redrawn at every step of the sweep cycle, mostly to the same picture:
    // only a changed picture is converted and sent to the screen.
    if (frame_.width() == c.Width() && frame_.height() == c.Height() && shown_.size() == count &&
        std::equal(shown_.begin(), shown_.end(), c.Bits())) {
        return;
    }
    shown_.assign(c.Bits(), c.Bits() + count);
    // 0x00BBGGRR canvas pixels become 0xFFRRGGBB, the backing store's own format: the draw
    // is then a plain copy, done on this thread, not a format conversion that Qt spreads
    // over its pool threads at every redraw.
    if (frame_.width() != c.Width() || frame_.height() != c.Height()) {
        frame_ = QImage(c.Width(), c.Height(), QImage::Format_RGB32);
    }
    // Rows of a 32-bit image are contiguous: one pass over all pixels.
    const uint32_t* __restrict from = c.Bits();
    auto* __restrict to = reinterpret_cast<uint32_t*>(frame_.bits());
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = from[i];
        to[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
    update();
}

void TGraph::paintEvent(QPaintEvent* /*event*/) {
    if (presentPending_) {
        present(); // a paint for another reason (exposure) shows the latest picture
    }
    if (frame_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, frame_);
}

void TGraph::resizeEvent(QResizeEvent* event) {
    syncSize();
    QWidget::resizeEvent(event);
}

void TGraph::mousePressEvent(QMouseEvent* event) {
    const QPoint p = pixelOf(event);
    emit MouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void TGraph::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = pixelOf(event);
    emit MouseMove(event->modifiers(), p.x(), p.y());
}

void TGraph::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = pixelOf(event);
    emit MouseUp(event->button(), event->modifiers(), p.x(), p.y());
}

} // namespace myrl
