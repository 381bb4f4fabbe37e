#include "TGraph.h"

#include "ScaledChart.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

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
    // On a screen of finer pixels the chart keeps its drawing operations, to draw them
    // again at the screen's resolution.
    Canvas& c = plot_.canvas();
    const bool fine = devicePixelRatioF() > 1;
    if (fine && (c.RecordWidth() != plot_.Width() || c.RecordHeight() != plot_.Height())) {
        c.Record(plot_.Width(), plot_.Height());
    } else if (!fine && c.RecordWidth() != 0) {
        c.Record(0, 0);
    }
}

namespace {

// Columns per band of the changed region: a band is repainted from the first to the last
// row that changed in it.
constexpr int kBand = 32;

// Canvas pixels 0x00BBGGRR as the backing store's 0xFFRRGGBB.
inline uint32_t onScreen(uint32_t p) {
    return 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

// Writes n canvas pixels onto the screen's, four at a time; true when any differed.
bool copyRun(const uint32_t* from, uint32_t* to, int n) {
    typedef uint32_t Quad __attribute__((vector_size(4 * sizeof(uint32_t))));
    Quad diff = {0, 0, 0, 0};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        Quad p, old;
        std::memcpy(&p, from + i, sizeof p);
        std::memcpy(&old, to + i, sizeof old);
        const Quad v = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
        diff |= v ^ old;
        std::memcpy(to + i, &v, sizeof v);
    }
    uint32_t rest = diff[0] | diff[1] | diff[2] | diff[3];
    for (; i < n; ++i) {
        const uint32_t v = onScreen(from[i]);
        rest |= v ^ to[i];
        to[i] = v;
    }
    return rest != 0;
}

// Brings `frame` (same size as `from`) up to `from`; returns the changed part in frame
// pixels, one rectangle per band of columns.
QRegion copyChanges(const Canvas& from, QImage& frame) {
    const int w = from.Width();
    const int h = from.Height();
    const int bands = (w + kBand - 1) / kBand;
    std::vector<int> top(static_cast<size_t>(bands), h);
    std::vector<int> bottom(static_cast<size_t>(bands), -1);
    auto* rows = reinterpret_cast<uint32_t*>(frame.bits());
    const size_t stride = static_cast<size_t>(frame.bytesPerLine()) / sizeof(uint32_t);
    for (int y = 0; y < h; ++y) {
        const uint32_t* src = from.Bits() + static_cast<size_t>(y) * static_cast<size_t>(w);
        uint32_t* dst = rows + static_cast<size_t>(y) * stride;
        for (int b = 0; b < bands; ++b) {
            const int x = b * kBand;
            if (copyRun(src + x, dst + x, std::min(kBand, w - x))) {
                top[static_cast<size_t>(b)] = std::min(top[static_cast<size_t>(b)], y);
                bottom[static_cast<size_t>(b)] = y;
            }
        }
    }
    QRegion changed;
    for (int b = 0; b < bands; ++b) {
        const auto k = static_cast<size_t>(b);
        if (bottom[k] >= 0) {
            changed +=
                QRect(b * kBand, top[k], std::min(kBand, w - b * kBand), bottom[k] - top[k] + 1);
        }
    }
    return changed;
}

} // namespace

void TGraph::present() {
    presentPending_ = false;
    syncSize();
    const qreal dpr = devicePixelRatioF();
    const Canvas* shown = &plot_.canvas();
    if (dpr > 1) {
        DrawScaled(plot_.canvas(), dpr, device_);
        shown = &device_;
    } else if (device_.Width() != 0) {
        device_ = Canvas();
    }
    // The chart is redrawn at every step of the sweep cycle, mostly to the same picture:
    // only the changed part is converted and sent to the screen.
    if (frame_.width() != shown->Width() || frame_.height() != shown->Height() ||
        frame_.devicePixelRatio() != dpr) {
        frame_ = QImage(shown->Width(), shown->Height(), QImage::Format_RGB32);
        frame_.setDevicePixelRatio(dpr);
        frame_.fill(0u);
        copyChanges(*shown, frame_);
        update();
        return;
    }
    const QRegion changed = copyChanges(*shown, frame_);
    if (dpr == 1) {
        update(changed);
        return;
    }
    // Frame pixels to the widget's: outwards to whole pixels.
    QRegion logical;
    for (const QRect& r : changed) {
        const int left = static_cast<int>(std::floor(r.left() / dpr));
        const int top = static_cast<int>(std::floor(r.top() / dpr));
        const int right = static_cast<int>(std::ceil((r.right() + 1) / dpr));
        const int bottom = static_cast<int>(std::ceil((r.bottom() + 1) / dpr));
        logical += QRect(left, top, right - left, bottom - top);
    }
    update(logical);
}

void TGraph::paintEvent(QPaintEvent* /*event*/) {
    if (presentPending_ || (!frame_.isNull() && frame_.devicePixelRatio() != devicePixelRatioF())) {
        present(); // a paint for another reason (exposure, another screen) shows the latest
    }
    if (frame_.isNull()) {
        return;
    }
    // The paint is clipped to the region asked for: only that part of the frame is copied.
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), frame_);
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
