#include "GraphPlot.h"

#include "Rnd.h"

#include <algorithm>
#include <cmath>

namespace myrl {

namespace {

using Ext = long double;

// Trace coordinates beyond the plot are pulled to 10 pixels outside it, so a segment runs
// off the edge and is cut there. A coordinate that is not a number is treated as lying
// before the plot.
double clampCoord(double p, int size) {
    if (p > size) {
        return size + 10.0;
    }
    if (p < 0 || std::isnan(p)) {
        return -10.0;
    }
    return p;
}

bool logRangeUsable(double lo, double hi) {
    return lo > 0 && hi > 0 && std::isfinite(lo) && std::isfinite(hi) &&
           std::log10(static_cast<Ext>(hi)) != std::log10(static_cast<Ext>(lo));
}

} // namespace

GraphPlot::GraphPlot(int w, int h) : canvas_(w, h, 0) {
    width_ = canvas_.Width();
    height_ = canvas_.Height();
}

void GraphPlot::SetSize(int w, int h) {
    width_ = std::max(w, 0);
    height_ = std::max(h, 0);
    if (width_ > canvas_.Width() || height_ > canvas_.Height()) {
        canvas_.Resize(std::max(width_, canvas_.Width()), std::max(height_, canvas_.Height()),
                       BgColor);
    }
}

double GraphPlot::MapX(double x) const {
    return static_cast<double>((static_cast<Ext>(x) - Xmin) * (width_ - 1) /
                               (static_cast<Ext>(Xmax) - Xmin));
}

double GraphPlot::MapY(double y) const {
    return static_cast<double>((height_ - 1) - (static_cast<Ext>(y) - Ymin) * (height_ - 1) /
                                                   (static_cast<Ext>(Ymax) - Ymin));
}

double GraphPlot::PlotX(double x) const {
    return logX ? mapLogX(x > 0 ? x : 1e-99) : MapX(x);
}

double GraphPlot::PlotY(double y) const {
    return logY ? mapLogY(y > 0 ? y : 1e-99) : MapY(y);
}

bool GraphPlot::Mappable() const {
    return (logX ? logRangeUsable(Xmin, Xmax) : Xmax != Xmin) &&
           (logY ? logRangeUsable(Ymin, Ymax) : Ymax != Ymin);
}

double GraphPlot::mapLogX(double x) const {
    const Ext lmin = std::log10(static_cast<Ext>(Xmin));
    const Ext lmax = std::log10(static_cast<Ext>(Xmax));
    return static_cast<double>((std::log10(static_cast<Ext>(x)) - lmin) * (width_ - 1) /
                               (lmax - lmin));
}

double GraphPlot::mapLogY(double y) const {
    const Ext lmin = std::log10(static_cast<Ext>(Ymin));
    const Ext lmax = std::log10(static_cast<Ext>(Ymax));
    return static_cast<double>((height_ - 1) - (std::log10(static_cast<Ext>(y)) - lmin) *
                                                   (height_ - 1) / (lmax - lmin));
}

void GraphPlot::gridVertical() {
    for (int32_t i = 1; i <= XGridNum; ++i) {
        const int x = rnd(static_cast<double>(static_cast<Ext>(i) * (width_ - 1) / XGridNum));
        canvas_.MoveTo(x, 1);
        canvas_.LineTo(x, height_ - 1);
    }
}

void GraphPlot::Clear() {
    const int W = width_;
    const int H = height_;

    canvas_.SetBrushColor(BgColor);
    canvas_.FillRect(-1, -1, W + 1, H + 1);

    canvas_.SetPenColor(GridColor);
    if (!logX && !logY) {
        gridVertical();
        for (int32_t j = 1; j <= YGridNum; ++j) {
            const int y = rnd(static_cast<double>(static_cast<Ext>(j) * (H - 1) / YGridNum));
            canvas_.MoveTo(1, y);
            canvas_.LineTo(W - 1, y);
        }
    } else if (logY && !logX && logRangeUsable(Ymin, Ymax)) {
        gridVertical();
        const Ext lmin = std::log10(static_cast<Ext>(Ymin));
        const Ext lmax = std::log10(static_cast<Ext>(Ymax));
        // Finite positive doubles keep the decades within about -324..309.
        const int lo = static_cast<int>(std::floor(lmin));
        const int hi = static_cast<int>(std::ceil(lmax));
        for (int d = lo; d <= hi; ++d) {
            for (int k = 1; k <= 9; ++k) {
                const Ext v = (H - 1) - (std::log10(static_cast<Ext>(k)) + d - lmin) * (H - 1) /
                                            (lmax - lmin);
                const int y = rnd(static_cast<double>(v));
                canvas_.MoveTo(1, y);
                canvas_.LineTo(W - 1, y);
            }
        }
    }
    // A logarithmic x axis has no grid.

    canvas_.SetPenColor(FrmColor);
    canvas_.SetPenWidth(1);
    canvas_.MoveTo(0, 0);
    canvas_.LineTo(W - 1, 0);
    canvas_.LineTo(W - 1, H - 1);
    canvas_.LineTo(0, H - 1);
    canvas_.LineTo(0, 0);

    canvas_.SetPenColor(RefClr);
    if (!logX && Xmax != Xmin && RefXEn) {
        const double px = MapX(RefX);
        if (-10 < px && px < W + 10) {
            const int x = rnd(px);
            canvas_.MoveTo(x, 1);
            canvas_.LineTo(x, H - 1);
        }
    }
    if (!logY && Ymax != Ymin && RefYEn) {
        const double py = MapY(RefY);
        if (-10 < py && py < H + 10) {
            const int y = rnd(py);
            canvas_.MoveTo(1, y);
            canvas_.LineTo(W - 1, y);
        }
    }
}

void GraphPlot::Plot(std::span<double> X, std::span<double> Y, int32_t N, uint32_t Color) {
    canvas_.SetPenColor(Color);
    const size_t count = N <= 0 ? 0 : std::min({static_cast<size_t>(N), X.size(), Y.size()});

    if (logX) {
        for (size_t i = 0; i < count; ++i) {
            if (!(X[i] > 0)) {
                X[i] = 1e-99;
            }
        }
    }
    if (logY) {
        for (size_t i = 0; i < count; ++i) {
            if (!(Y[i] > 0)) {
                Y[i] = 1e-99;
            }
        }
    }
    if (count < 2) {
        if (count == 1) {
            // One point only moves the pen.
            canvas_.MoveTo(rnd(clampCoord(logX ? mapLogX(X[0]) : MapX(X[0]), width_)),
                           rnd(clampCoord(logY ? mapLogY(Y[0]) : MapY(Y[0]), height_)));
        }
        return;
    }
    const bool xUsable = logX ? logRangeUsable(Xmin, Xmax) : Xmax != Xmin;
    const bool yUsable = logY ? logRangeUsable(Ymin, Ymax) : Ymax != Ymin;
    if (!xUsable || !yUsable) {
        return;
    }

    for (size_t i = 0; i < count; ++i) {
        const int px = rnd(clampCoord(logX ? mapLogX(X[i]) : MapX(X[i]), width_));
        const int py = rnd(clampCoord(logY ? mapLogY(Y[i]) : MapY(Y[i]), height_));
        if (i == 0) {
            canvas_.MoveTo(px, py);
        } else {
            canvas_.LineTo(px, py);
        }
    }
}

} // namespace myrl
