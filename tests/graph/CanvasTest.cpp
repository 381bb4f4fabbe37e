#include "Canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

namespace myrl {
namespace {

constexpr uint32_t kInk = Rgb(255, 0, 0);

std::set<std::pair<int, int>> inked(const Canvas& c, uint32_t color = kInk) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < c.Height(); ++y) {
        for (int x = 0; x < c.Width(); ++x) {
            if (c.Pixel(x, y) == color) {
                out.insert({x, y});
            }
        }
    }
    return out;
}

struct Segment {
    int x0, y0, x1, y1;
};

class CanvasLine : public ::testing::TestWithParam<Segment> {};

// Inside the picture every line covers its start pixel, never its end pixel, and exactly
// one pixel per step along its longer axis, within the box of its end points.
TEST_P(CanvasLine, CoversStartExcludesEndOnePixelPerStep) {
    const Segment s = GetParam();
    Canvas c(40, 40);
    c.SetPenColor(kInk);
    c.MoveTo(s.x0, s.y0);
    c.LineTo(s.x1, s.y1);
    EXPECT_EQ(c.PenX(), s.x1);
    EXPECT_EQ(c.PenY(), s.y1);

    const auto px = inked(c);
    const int dx = std::abs(s.x1 - s.x0);
    const int dy = std::abs(s.y1 - s.y0);
    ASSERT_EQ(static_cast<int>(px.size()), std::max(dx, dy));
    if (dx + dy == 0) {
        return;
    }
    EXPECT_TRUE(px.count({s.x0, s.y0}));
    EXPECT_FALSE(px.count({s.x1, s.y1}));
    std::set<int> major;
    for (auto [x, y] : px) {
        EXPECT_GE(x, std::min(s.x0, s.x1));
        EXPECT_LE(x, std::max(s.x0, s.x1));
        EXPECT_GE(y, std::min(s.y0, s.y1));
        EXPECT_LE(y, std::max(s.y0, s.y1));
        major.insert(dx >= dy ? x : y);
    }
    EXPECT_EQ(static_cast<int>(major.size()), std::max(dx, dy));
}

INSTANTIATE_TEST_SUITE_P(Directions, CanvasLine,
                         ::testing::Values(Segment{0, 5, 10, 5}, Segment{10, 5, 0, 5},
                                           Segment{5, 0, 5, 10}, Segment{5, 30, 5, 3},
                                           Segment{2, 2, 20, 20}, Segment{20, 2, 2, 20},
                                           Segment{1, 30, 39, 17}, Segment{33, 1, 25, 38},
                                           Segment{7, 7, 7, 7}));

TEST(Canvas, HorizontalLineToTenLeavesColumnTenUntouched) {
    Canvas c(20, 3);
    c.SetPenColor(kInk);
    c.MoveTo(0, 1);
    c.LineTo(10, 1);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(c.Pixel(x, 1), kInk) << x;
    }
    EXPECT_EQ(c.Pixel(10, 1), 0u);
}

TEST(Canvas, ShallowLineRoundsTheMinorAxis) {
    Canvas c(12, 6);
    c.SetPenColor(kInk);
    c.MoveTo(0, 0);
    c.LineTo(10, 4);
    const std::set<std::pair<int, int>> expected{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2},
                                                 {5, 2}, {6, 2}, {7, 3}, {8, 3}, {9, 4}};
    EXPECT_EQ(inked(c), expected);
}

// Far-out end points are cut at the picture's edge without overflow and land on the
// same pixels as the visible part of the exact line.
TEST(Canvas, FarCoordinatesAreClipped) {
    struct Case {
        Segment s;
        std::set<std::pair<int, int>> expected;
    };
    std::set<std::pair<int, int>> diagonal, row3, column5, row5;
    for (int i = 0; i < 20; ++i) {
        diagonal.insert({i, i});
        row3.insert({i, 3});
        column5.insert({5, i});
        row5.insert({i, 5});
    }
    const std::vector<Case> cases{
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, diagonal},
        {{INT_MAX, INT_MAX, INT_MIN, INT_MIN}, diagonal},
        {{INT_MIN, 3, INT_MAX, 3}, row3},
        {{5, INT_MAX, 5, INT_MIN}, column5},
        {{-1000000, 0, 1000000, 10}, row5},
        {{INT_MIN, INT_MIN, INT_MIN, INT_MAX}, {}},
        {{-30, -30, -5, 60}, {}},
    };
    for (const Case& k : cases) {
        Canvas c(20, 20);
        c.SetPenColor(kInk);
        c.MoveTo(k.s.x0, k.s.y0);
        c.LineTo(k.s.x1, k.s.y1);
        EXPECT_EQ(inked(c), k.expected)
            << k.s.x0 << "," << k.s.y0 << " -> " << k.s.x1 << "," << k.s.y1;
    }
}

__extension__ typedef __int128 Wide;

// The line as first written: every step stamps its own pixel (or pen square), rows and
// columns too. Draws on w x h pixels; returns whether a step could touch the picture
// (the canvas then counts a drawing).
bool referenceLine(std::vector<uint32_t>& px, int w, int h, int penWidth, uint32_t color,
                   int64_t x0, int64_t y0, int64_t x, int64_t y) {
    auto stamp = [&](int64_t sx, int64_t sy) {
        const int64_t lo = (penWidth - 1) / 2, hi = penWidth / 2;
        for (int64_t yy = sy - lo; yy <= sy + hi; ++yy) {
            for (int64_t xx = sx - lo; xx <= sx + hi; ++xx) {
                if (xx >= 0 && yy >= 0 && xx < w && yy < h) {
                    px[static_cast<size_t>(yy * w + xx)] = color;
                }
            }
        }
    };
    const int64_t dx = x - x0, dy = y - y0;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t u0 = xMajor ? x0 : y0, v0 = xMajor ? y0 : x0;
    const int64_t du = xMajor ? dx : dy, dv = xMajor ? dy : dx;
    const int64_t n = std::llabs(du);
    if (n == 0) {
        return false;
    }
    const int64_t su = du > 0 ? 1 : -1, sv = dv >= 0 ? 1 : -1, adv = std::llabs(dv);
    const int64_t uSize = xMajor ? w : h, vSize = xMajor ? h : w;
    const int64_t reach = penWidth / 2 + 1;
    int64_t kFirst = su > 0 ? -reach - u0 : u0 - (uSize - 1) - reach;
    int64_t kLast = su > 0 ? uSize - 1 + reach - u0 : u0 + reach;
    kFirst = std::max<int64_t>(kFirst, 0);
    kLast = std::min<int64_t>(kLast, n - 1);
    if (kFirst > kLast) {
        return false;
    }
    for (int64_t k = kFirst; k <= kLast; ++k) {
        const Wide num = Wide{2} * k * adv + n;
        const int64_t q = static_cast<int64_t>(num / (2 * n)); // num > 0: floor
        const int64_t u = u0 + su * k, v = v0 + sv * q;
        if (v >= -reach && v < vSize + reach) {
            xMajor ? stamp(u, v) : stamp(v, u);
        }
    }
    return true;
}

// Rows and columns are filled as spans: the same pixels as stamping them step by step, for
// every pen width, every direction, lines that start, end or lie outside the picture, and
// the same count of drawings. Slanted lines come along to show the two agree there too.
TEST(Canvas, RowsAndColumnsAsSpansCoverTheSteppedPixels) {
    const int w = 23, h = 17;
    const int64_t far[] = {INT_MIN, -1000000, -40, -3, -1, 0,  1,       5,
                           16,      17,       22,  23, 24, 60, 1000000, INT_MAX};
    std::vector<Segment> segments;
    for (int64_t a : far) {
        for (int64_t b : far) {
            for (int64_t fixed :
                 {int64_t{-2}, int64_t{0}, int64_t{8}, int64_t{16}, int64_t{22}, int64_t{30}}) {
                segments.push_back({int(a), int(fixed), int(b), int(fixed)}); // row
                segments.push_back({int(fixed), int(a), int(fixed), int(b)}); // column
            }
            segments.push_back({int(a), int(b), int(b), int(a)}); // slanted
        }
    }
    int drawn = 0;
    for (int pen = 1; pen <= 5; ++pen) {
        for (const Segment& s : segments) {
            Canvas c(w, h, 7);
            std::vector<uint32_t> want(static_cast<size_t>(w * h), 7);
            c.SetPenWidth(pen);
            c.SetPenColor(kInk);
            c.MoveTo(s.x0, s.y0);
            const uint64_t before = c.Generation();
            c.LineTo(s.x1, s.y1);
            const bool counted = referenceLine(want, w, h, pen, kInk, s.x0, s.y0, s.x1, s.y1);
            ASSERT_EQ(c.Generation() - before, counted ? 1u : 0u)
                << pen << ": " << s.x0 << "," << s.y0 << " -> " << s.x1 << "," << s.y1;
            ASSERT_TRUE(std::equal(
                want.begin(), want.end(), c.Bits(),
                [](uint32_t colour, uint32_t stored) { return Canvas::Stored(colour) == stored; }))
                << pen << ": " << s.x0 << "," << s.y0 << " -> " << s.x1 << "," << s.y1;
            drawn += counted;
        }
    }
    EXPECT_GT(drawn, 1000);
}

TEST(Canvas, FillRectOutlinesWithPenAndFillsWithBrush) {
    constexpr uint32_t kBrush = Rgb(0, 0, 255);
    Canvas c(8, 7);
    c.SetPenColor(kInk);
    c.SetBrushColor(kBrush);
    c.MoveTo(3, 3);
    c.FillRect(6, 5, 2, 1); // corners in either order: covers x 2..5, y 1..4
    const char* expected[] = {"........", "..pppp..", "..pbbp..", "..pbbp..",
                              "..pppp..", "........", "........"};
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 8; ++x) {
            const uint32_t want = expected[y][x] == 'p'   ? kInk
                                  : expected[y][x] == 'b' ? kBrush
                                                          : 0u;
            EXPECT_EQ(c.Pixel(x, y), want) << x << "," << y;
        }
    }
    EXPECT_EQ(c.PenX(), 3);

    // A rectangle one pixel larger than the picture on every side shows only its inside.
    c.FillRect(-1, -1, 9, 8);
    EXPECT_EQ(inked(c, kBrush).size(), 56u);
}

TEST(Canvas, ResizeKeepsOverlapAndFillsNewPixels) {
    Canvas c(3, 2, 7);
    c.SetPenColor(kInk);
    c.MoveTo(0, 1);
    c.LineTo(3, 1);
    c.Resize(5, 4, 9);
    EXPECT_EQ(c.Width(), 5);
    EXPECT_EQ(c.Height(), 4);
    EXPECT_EQ(c.Pixel(2, 1), kInk);
    EXPECT_EQ(c.Pixel(2, 0), 7u);
    EXPECT_EQ(c.Pixel(3, 1), 9u);
    EXPECT_EQ(c.Pixel(0, 3), 9u);
    c.Resize(2, 2, 0);
    EXPECT_EQ(c.Pixel(1, 1), kInk);
}

TEST(Canvas, DrawHookRunsAfterDrawing) {
    Canvas c(4, 4);
    int calls = 0;
    c.SetDrawHook([&] { ++calls; });
    c.MoveTo(0, 0);
    EXPECT_EQ(calls, 0);
    c.LineTo(3, 0);
    c.FillRect(0, 0, 2, 2);
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace myrl
