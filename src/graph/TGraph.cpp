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

    int Width;
    int Height;
    std::vector<int> First;
    std::vector<int> Last;
};

// Brings `frame` (same size as `from`) up to `from` within `look`; returns the changed part
// in frame pixels, one rectangle per band of columns.
QRegion copyChanges(const Canvas& from, QImage& frame, const Bands& look) {
    const int w = from.Width();
    auto* rows = reinterpret_cast<uint32_t*>(frame.bits());
    const size_t stride = static_cast<size_t>(frame.bytesPerLine()) / sizeof(uint32_t);
    QRegion changed;
    for (size_t k = 0; k < look.First.size(); ++k) {
        const int x = static_cast<int>(k) * kBand;
        const int n = std::min(kBand, w - x);
        int top = -1;
        int bottom = -1;
        for (int y = look.First[k]; y <= look.Last[k]; ++y) {
            const uint32_t* src = from.Bits() + static_cast<size_t>(y) * static_cast<size_t>(w);
            if (copyRun(src + x, rows + static_cast<size_t>(y) * stride + x, n)) {
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
        if (bottom >= 0) {
            changed += QRect(x, top, n, bottom - top + 1);
        }
    }
    return changed;
}

} // namespace

void TGraph::present() {
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
    const bool fresh =
        frame_.width() != w || frame_.height() != h || frame_.devicePixelRatio() != dpr;
    if (fresh) {
        frame_ = QImage(w, h, QImage::Format_RGB32);
        frame_.setDevicePixelRatio(dpr);
        frame_.fill(0u);
    }
    // Where the picture may differ from the frame: wherever the operations that drew it
    // differ from those that drew the frame (each op's box), or everywhere when either
    // picture was not drawn from a whole-area fill.
    const bool known = !fresh && chart.RecordedWhole() && shownWhole_;
    Bands look(w, h, !known);
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
            look.Add(b.L, b.T, b.R, b.B);
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
    const QRegion changed = copyChanges(*shown, frame_, look);
    if (fresh) {
        update();
        return;
    }
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
