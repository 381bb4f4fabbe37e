#include "ScaledChart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace myrl {

namespace {

// Device coordinate of chart coordinate v, kept well inside int.
int toDevice(int64_t v, double scale) {
    const double d = std::floor(static_cast<double>(v) * scale);
    return static_cast<int>(std::clamp(d, -1073741824.0, 1073741824.0));
}

class Replay {
public:
    Replay(Canvas& device, double scale) : device_(device), scale_(scale) {}

    // A filled rectangle: its outline and inside cover the device pixels of the chart
    // pixels they cover (an outline outside the chart, as Clear's, stays outside).
    void Rect(const CanvasOp& op) {
        const int64_t l = std::min(op.X0, op.X1);
        const int64_t r = int64_t{std::max(op.X0, op.X1)} - 1;
        const int64_t t = std::min(op.Y0, op.Y1);
        const int64_t b = int64_t{std::max(op.Y0, op.Y1)} - 1;
        const int64_t pw = op.PenWidth;
        if (r - l + 1 <= 2 * pw || b - t + 1 <= 2 * pw) {
            fill(l, t, r, b, op.Pen);
            return;
        }
        fill(l, t, r, t + pw - 1, op.Pen);
        fill(l, b - pw + 1, r, b, op.Pen);
        fill(l, t + pw, l + pw - 1, b - pw, op.Pen);
        fill(r - pw + 1, t + pw, r, b - pw, op.Pen);
        fill(l + pw, t + pw, r - pw, b - pw, op.Brush);
    }

    void Line(const CanvasOp& op) {
        const int64_t lo = (op.PenWidth - 1) / 2;
        const int64_t hi = op.PenWidth / 2;
        const int w = width(op.PenWidth);
        if (op.X0 == op.X1 && op.Y0 == op.Y1) {
            return;
        }
        if (op.Y0 == op.Y1 || op.X0 == op.X1) {
            // A row or a column: the chart pixels it covers (its start, not its end, and the
            // pen's square around each), w device pixels across.
            const bool row = op.Y0 == op.Y1;
            const int64_t a = row ? op.X0 : op.Y0;
            const int64_t b = row ? op.X1 : op.Y1;
            const int64_t first = (b > a ? a : b + 1) - lo;
            const int64_t last = (b > a ? b - 1 : a) + hi;
            const int across = d((row ? op.Y0 : op.X0) - lo);
            device_.SetPenColor(op.Pen);
            device_.SetBrushColor(op.Pen);
            device_.SetPenWidth(1);
            if (row) {
                device_.FillRect(d(first), across, d(last + 1), across + w);
            } else {
                device_.FillRect(across, d(first), across + w, d(last + 1));
            }
            return;
        }
        // Slanted: between the device positions of the end points, with the pen's square
        // of w device pixels placed as the chart's pen square is.
        const int centre = (w - 1) / 2;
        device_.SetPenColor(op.Pen);
        device_.SetPenWidth(w);
        device_.MoveTo(d(op.X0 - lo) + centre, d(op.Y0 - lo) + centre);
        device_.LineTo(d(op.X1 - lo) + centre, d(op.Y1 - lo) + centre);
    }

private:
    int d(int64_t v) const { return toDevice(v, scale_); }
    // The device pixels of chart pixels l..r, t..b (inclusive).
    void fill(int64_t l, int64_t t, int64_t r, int64_t b, uint32_t colour) {
        device_.SetPenColor(colour);
        device_.SetBrushColor(colour);
        device_.SetPenWidth(1);
        device_.FillRect(d(l), d(t), d(r + 1), d(b + 1));
    }
    int width(int penWidth) const {
        return std::max(1, static_cast<int>(std::lround(penWidth * scale_)));
    }

    Canvas& device_;
    double scale_;
};

void enlarge(const Canvas& chart, int w, int h, double scale, Canvas& device) {
    device.SetPenWidth(1);
    for (int y = 0; y < device.Height(); ++y) {
        const int cy = std::min(static_cast<int>(y / scale), h - 1);
        // Each chart pixel of the row as one run of device pixels.
        int x = 0;
        while (x < device.Width()) {
            const int cx = std::min(static_cast<int>(x / scale), w - 1);
            int end = x + 1;
            while (end < device.Width() && std::min(static_cast<int>(end / scale), w - 1) == cx) {
                ++end;
            }
            device.SetPenColor(chart.Pixel(cx, cy));
            device.MoveTo(x, y);
            device.LineTo(end, y);
            x = end;
        }
    }
}

// Device columns from `x` on repeat column x - 1, rows from `y` on repeat row y - 1.
void extendEdges(Canvas& device, int x, int y) {
    device.SetPenWidth(1);
    for (int row = 0; row < device.Height() && x > 0 && x < device.Width(); ++row) {
        device.SetPenColor(device.Pixel(x - 1, row));
        device.MoveTo(x, row);
        device.LineTo(device.Width(), row);
    }
    for (int row = y; row < device.Height() && y > 0; ++row) {
        for (int col = 0; col < device.Width();) {
            const uint32_t colour = device.Pixel(col, y - 1);
            int end = col + 1;
            while (end < device.Width() && device.Pixel(end, y - 1) == colour) {
                ++end;
            }
            device.SetPenColor(colour);
            device.MoveTo(col, row);
            device.LineTo(end, row);
            col = end;
        }
    }
}

} // namespace

int DeviceSize(int chartPixels, double scale) {
    return static_cast<int>(std::ceil(chartPixels * scale - 1e-9));
}

void DrawScaled(const Canvas& chart, double scale, Canvas& device) {
    const int w = chart.RecordWidth();
    const int h = chart.RecordHeight();
    device.Resize(DeviceSize(w, scale), DeviceSize(h, scale), 0);
    if (w < 1 || h < 1) {
        return;
    }
    if (!chart.RecordedWhole()) {
        enlarge(chart, w, h, scale, device);
        return;
    }
    Replay replay(device, scale);
    for (const CanvasOp& op : chart.Recorded()) {
        if (op.Rect) {
            replay.Rect(op);
        } else {
            replay.Line(op);
        }
    }
    // At a fractional scale the last device column (row) is part the chart's last column
    // (row), part beyond the chart, where nothing of the chart shows: it repeats the device
    // column (row) before it.
    extendEdges(device, toDevice(w, scale), toDevice(h, scale));
}

} // namespace myrl
