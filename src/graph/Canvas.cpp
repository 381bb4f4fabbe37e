#include "Canvas.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace myrl {

namespace {

__extension__ typedef __int128 Wide;

// Floor division for a positive divisor.
Wide floorDiv(Wide a, Wide b) {
    Wide q = a / b;
    if ((a % b) != 0 && a < 0) {
        --q;
    }
    return q;
}

} // namespace

Canvas::Canvas(int w, int h, uint32_t fill)
    : width_(std::max(w, 0)), height_(std::max(h, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), Stored(fill)) {}

uint32_t Canvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    return Colour(
        pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)]);
}

void Canvas::Resize(int w, int h, uint32_t fill) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == width_ && h == height_) {
        return;
    }
    ++generation_;
    recorded_.clear();
    recordedWhole_ = false;
    std::vector<uint32_t> next(static_cast<size_t>(w) * static_cast<size_t>(h), Stored(fill));
    const int cw = std::min(w, width_);
    const int ch = std::min(h, height_);
    for (int y = 0; y < ch; ++y) {
        std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_, cw,
                    next.begin() + static_cast<std::ptrdiff_t>(y) * w);
    }
    pixels_ = std::move(next);
    width_ = w;
    height_ = h;
}

void Canvas::Record(int w, int h) {
    recordW_ = w < 1 || h < 1 ? 0 : w;
    recordH_ = w < 1 || h < 1 ? 0 : h;
    recorded_.clear();
    recordedWhole_ = false;
}

CanvasOp::Box CanvasOp::Reach() const {
    if (Rect) {
        return {std::min(X0, X1), std::min(Y0, Y1), int64_t{std::max(X0, X1)} - 1,
                int64_t{std::max(Y0, Y1)} - 1};
    }
    const int64_t reach = PenWidth / 2 + 1;
    return {std::min(X0, X1) - reach, std::min(Y0, Y1) - reach, std::max(X0, X1) + reach,
            std::max(Y0, Y1) + reach};
}

// Keeps `op` when what it may touch meets the recorded area; colours that cannot show
// there are left out, so that operations that look alike compare equal (Clear's outline
// lies outside the chart in whatever pen colour the last drawing left).
void Canvas::record(const CanvasOp& op) {
    const CanvasOp::Box box = op.Reach();
    if (box.R < 0 || box.B < 0 || box.L >= recordW_ || box.T >= recordH_) {
        return;
    }
    CanvasOp kept = op;
    if (!op.Rect) {
        kept.Brush = 0; // lines use the pen alone
    } else {
        const int64_t pw = op.PenWidth;
        const bool outlined = box.R - box.L + 1 > 2 * pw && box.B - box.T + 1 > 2 * pw;
        if (outlined && box.L + pw - 1 < 0 && box.T + pw - 1 < 0 && box.R - pw + 1 >= recordW_ &&
            box.B - pw + 1 >= recordH_) {
            kept.Pen = op.Brush; // the outline lies wholly outside
        }
        if (box.L <= 0 && box.T <= 0 && box.R >= recordW_ - 1 && box.B >= recordH_ - 1) {
            recorded_.clear();
            recordedWhole_ = true;
        }
    }
    recorded_.push_back(kept);
}

void Canvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

// Fills the pixels x1..x2, y1..y2 (inclusive) that lie in the picture with `color` as
// stored.
void Canvas::fillSpan(int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t color) {
    x1 = std::max<int64_t>(x1, 0);
    y1 = std::max<int64_t>(y1, 0);
    x2 = std::min<int64_t>(x2, width_ - 1);
    y2 = std::min<int64_t>(y2, height_ - 1);
    if (x1 > x2 || y1 > y2) {
        return;
    }
    // The first row pixel by pixel, the others as copies of it (a block copy is several
    // times faster than a fill loop): a cleared chart is 127,000 pixels.
    uint32_t* first = pixels_.data() + y1 * width_ + x1;
    const auto count = static_cast<size_t>(x2 - x1 + 1);
    std::fill_n(first, count, color);
    for (int64_t y = y1 + 1; y <= y2; ++y) {
        std::memcpy(first + (y - y1) * width_, first, count * sizeof(uint32_t));
    }
}

void Canvas::stamp(int64_t x, int64_t y) {
    if (penWidth_ == 1) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) {
            pixels_[static_cast<size_t>(y * width_ + x)] = penStored_;
        }
        return;
    }
    const int64_t lo = (penWidth_ - 1) / 2;
    const int64_t hi = penWidth_ / 2;
    fillSpan(x - lo, y - lo, x + hi, y + hi, penStored_);
}

void Canvas::LineTo(int x, int y) {
    const int64_t x0 = penX_;
    const int64_t y0 = penY_;
    penX_ = x;
    penY_ = y;
    if (recordW_ != 0 && (x0 != x || y0 != y)) {
        record({false, static_cast<int>(x0), static_cast<int>(y0), x, y, penColor_, penWidth_,
                brushColor_});
    }

    // Walk along the major axis u (steps k = 0..n-1, the end pixel excluded); the minor
    // axis v moves by the rounded value of k * dv / n, halves away from the start.
    const int64_t dx = int64_t{x} - x0;
    const int64_t dy = int64_t{y} - y0;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t u0 = xMajor ? x0 : y0;
    const int64_t v0 = xMajor ? y0 : x0;
    const int64_t du = xMajor ? dx : dy;
    const int64_t dv = xMajor ? dy : dx;
    const int64_t n = std::llabs(du);
    if (n == 0) {
        return;
    }
    const int64_t su = du > 0 ? 1 : -1;
    const int64_t sv = dv >= 0 ? 1 : -1;
    const int64_t adv = std::llabs(dv);
    const int64_t uSize = xMajor ? width_ : height_;
    const int64_t vSize = xMajor ? height_ : width_;

    // Steps whose major coordinate can touch the picture (widened by the pen's reach).
    const int64_t reach = penWidth_ / 2 + 1;
    int64_t kFirst = su > 0 ? -reach - u0 : u0 - (uSize - 1) - reach;
    int64_t kLast = su > 0 ? uSize - 1 + reach - u0 : u0 + reach;
    kFirst = std::max<int64_t>(kFirst, 0);
    kLast = std::min<int64_t>(kLast, n - 1);
    if (kFirst > kLast) {
        return;
    }

    if (adv == 0) {
        // A row or a column (the grid, the frame, the marker dashes): the stamps of steps
        // kFirst..kLast lie on one line, so they are filled as one span.
        if (v0 >= -reach && v0 < vSize + reach) {
            const int64_t a = u0 + su * kFirst;
            const int64_t b = u0 + su * kLast;
            const int64_t lo = (penWidth_ - 1) / 2;
            const int64_t hi = penWidth_ / 2;
            const int64_t uLo = std::min(a, b) - lo;
            const int64_t uHi = std::max(a, b) + hi;
            if (xMajor) {
                fillSpan(uLo, v0 - lo, uHi, v0 + hi, penStored_);
            } else {
                fillSpan(v0 - lo, uLo, v0 + hi, uHi, penStored_);
            }
        }
        notify();
        return;
    }

    // Minor offset q(k) = floor((2*k*adv + n) / (2*n)), kept with its remainder so that
    // every step is exact in 64 bits; only the first step needs the wide product.
    const int64_t twoN = 2 * n;
    const int64_t twoAdv = 2 * adv;
    const Wide num = Wide{2} * kFirst * adv + n;
    int64_t q = static_cast<int64_t>(floorDiv(num, twoN));
    int64_t r = static_cast<int64_t>(num - Wide{q} * twoN);
    for (int64_t k = kFirst; k <= kLast; ++k) {
        const int64_t u = u0 + su * k;
        const int64_t v = v0 + sv * q;
        if (v >= -reach && v < vSize + reach) {
            if (xMajor) {
                stamp(u, v);
            } else {
                stamp(v, u);
            }
        }
        r += twoAdv;
        if (r >= twoN) {
            r -= twoN;
            ++q;
        }
    }
    notify();
}

void Canvas::FillRect(int x1, int y1, int x2, int y2) {
    int64_t l = std::min(x1, x2);
    int64_t r = int64_t{std::max(x1, x2)} - 1;
    int64_t t = std::min(y1, y2);
    int64_t b = int64_t{std::max(y1, y2)} - 1;
    if (l > r || t > b) {
        return;
    }
    if (recordW_ != 0) {
        record({true, x1, y1, x2, y2, penColor_, penWidth_, brushColor_});
    }
    const int64_t pw = penWidth_;
    if (r - l + 1 <= 2 * pw || b - t + 1 <= 2 * pw) {
        fillSpan(l, t, r, b, penStored_);
    } else {
        fillSpan(l, t, r, t + pw - 1, penStored_);           // top
        fillSpan(l, b - pw + 1, r, b, penStored_);           // bottom
        fillSpan(l, t + pw, l + pw - 1, b - pw, penStored_); // left
        fillSpan(r - pw + 1, t + pw, r, b - pw, penStored_); // right
        fillSpan(l + pw, t + pw, r - pw, b - pw, brushStored_);
    }
    notify();
}

} // namespace myrl
