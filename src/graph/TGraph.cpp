#include "TGraph.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

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
        if (!repaintPending_) {
            repaintPending_ = true;
            update();
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

void TGraph::paintEvent(QPaintEvent* /*event*/) {
    repaintPending_ = false;
    const Canvas& c = plot_.canvas();
    if (c.Width() == 0 || c.Height() == 0) {
        return;
    }
    // 0x00BBGGRR pixels are R, G, B, X bytes in memory on this little-endian target.
    const QImage image(reinterpret_cast<const uchar*>(c.Bits()), c.Width(), c.Height(),
                       static_cast<qsizetype>(c.Width()) * 4, QImage::Format_RGBX8888);
    QPainter painter(this);
    painter.drawImage(0, 0, image);
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
