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
        // A hidden chart (the delay view while the cepstrum is off) is brought to the screen
        // by its first paint when it shows.
        if (!presentPending_) {
            presentPending_ = true;
            if (isVisible()) {
                QMetaObject::invokeMethod(this, &TGraph::present, Qt::QueuedConnection);
            }
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
    // The chart keeps its drawing operations: they tell what changed from one picture to
    // the next, and a screen of finer pixels draws them again at its own resolution.
    Canvas& c = plot_.canvas();
    if (c.RecordWidth() != plot_.Width() || c.RecordHeight() != plot_.Height()) {
        c.Record(plot_.Width(), plot_.Height());
    }
}

namespace {

// Columns per band of the changed region: a band is repainted from the first to the last
// row that changed in it.
constexpr int kBand = 32;

// Rows to look at in each band of columns, first..last (none while last < first).
struct Bands {
    Bands(int width, int height, bool all)
        : Width(width), Height(height), First(count(width), all ? 0 : height),
          Last(count(width), all ? height - 1 : -1) {}
    static size_t count(int width) { return static_cast<size_t>((width + kBand - 1) / kBand); }

    // Adds the frame pixels l..r, t..b (inclusive, clipped here).
    void Add(int64_t l, int64_t t, int64_t r, int64_t b) {
        l = std::max<int64_t>(l, 0);
        t = std::max<int64_t>(t, 0);
        r = std::min<int64_t>(r, Width - 1);
        b = std::min<int64_t>(b, Height - 1);
        if (l > r || t > b) {
            return;
        }
        for (int64_t k = l / kBand; k <= r / kBand; ++k) {
            const auto i = static_cast<size_t>(k);
            First[i] = std::min(First[i], static_cast<int>(t));
            Last[i] = std::max(Last[i], static_cast<int>(b));
        }
    }

    // The changed part: one rectangle per band.
    QRegion Region() const {
        QRegion r;
        for (size_t k = 0; k < First.size(); ++k) {
            if (Last[k] >= First[k]) {
                const int x = static_cast<int>(k) * kBand;
                r += QRect(x, First[k], std::min(kBand, Width - x), Last[k] - First[k] + 1);
            }
        }
        return r;
    }

    int Width;
    int Height;
    std::vector<int> First;
    std::vector<int> Last;
};

} // namespace

void TGraph::present() {
    if (!isVisible()) {
        return; // stays pending until the first paint after it shows
    }
    presentPending_ = false;
    syncSize();
    const Canvas& chart = plot_.canvas();
    const qreal dpr = devicePixelRatioF();
    const Canvas* shown = &chart;
    if (dpr > 1) {
        DrawScaled(chart, dpr, device_);
        shown = &device_;
    } else if (device_.Width() != 0) {
        device_ = Canvas();
    }
    const int w = shown->Width();
    const int h = shown->Height();
    // The canvas holds its pixels as an RGB image does: the frame shows them in place.
    // (A writable view: setting its pixel ratio must not make the image copy the pixels,
    // as it does for a read-only one; nothing writes through it.)
    auto* bits = const_cast<uchar*>(reinterpret_cast<const uchar*>(shown->Bits()));
    const bool fresh = frame_.constBits() != bits || frame_.width() != w || frame_.height() != h ||
                       frame_.devicePixelRatio() != dpr;
    if (fresh) {
        frame_ = QImage(bits, w, h, w * 4, QImage::Format_RGB32);
        frame_.setDevicePixelRatio(dpr);
    }
    // Where the picture may differ from the one shown: wherever the operations that drew it
    // differ from those that drew the last (each one's box), or everywhere when either was
    // not drawn from a whole-area fill.
    const bool known = !fresh && chart.RecordedWhole() && shownWhole_;
    Bands changed(w, h, !known);
    if (known) {
        const std::vector<CanvasOp>& ops = chart.Recorded();
        // A chart pixel's box on the frame: at finer scales widened by the device pen.
        const int64_t margin = dpr > 1 ? static_cast<int64_t>(std::ceil(dpr)) + 1 : 0;
        auto add = [&](const CanvasOp& op) {
            CanvasOp::Box b = op.Reach();
            if (dpr > 1) {
                const auto scaled = [&](int64_t v) {
                    return static_cast<int64_t>(std::floor(static_cast<double>(v) * dpr));
                };
                // The device pixels past the chart's last column and row repeat them.
                b = {scaled(b.L) - margin, scaled(b.T) - margin,
                     b.R >= plot_.Width() - 1 ? w : scaled(b.R + 1) + margin,
                     b.B >= plot_.Height() - 1 ? h : scaled(b.B + 1) + margin};
            }
            changed.Add(b.L, b.T, b.R, b.B);
        };
        for (size_t i = 0; i < std::max(ops.size(), shownOps_.size()); ++i) {
            const bool inNew = i < ops.size();
            const bool inOld = i < shownOps_.size();
            if (inNew && inOld && ops[i] == shownOps_[i]) {
                continue;
            }
            if (inNew) {
                add(ops[i]);
            }
            if (inOld) {
                add(shownOps_[i]);
            }
        }
    }
    shownOps_ = chart.Recorded();
    shownWhole_ = chart.RecordedWhole();
    if (fresh) {
        update();
        return;
    }
    const QRegion region = changed.Region();
    if (dpr == 1) {
        update(region);
        return;
    }
    // Frame pixels to the widget's: outwards to whole pixels.
    QRegion logical;
    for (const QRect& r : region) {
        const int left = static_cast<int>(std::floor(r.left() / dpr));
        const int top = static_cast<int>(std::floor(r.top() / dpr));
        const int right = static_cast<int>(std::ceil((r.right() + 1) / dpr));
        const int bottom = static_cast<int>(std::ceil((r.bottom() + 1) / dpr));
        logical += QRect(left, top, right - left, bottom - top);
    }
    update(logical);
}

void TGraph::paintEvent(QPaintEvent* /*event*/) {
    // The frame views the canvas's pixels: a resize of the canvas moves them, and a screen
    // of another resolution wants another picture.
    const qreal dpr = devicePixelRatioF();
    const Canvas& chart = plot_.canvas();
    const bool moved =
        dpr == 1 ? frame_.constBits() != reinterpret_cast<const uchar*>(chart.Bits()) ||
                       frame_.width() != chart.Width() || frame_.height() != chart.Height()
                 : frame_.devicePixelRatio() != dpr;
    if (presentPending_ || moved) {
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
