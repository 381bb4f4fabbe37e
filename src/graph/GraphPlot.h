// The chart of a TGraph without the window: sixteen stored properties, the current size
// W x H and a canvas at least that large, with the two drawing operations Clear and Plot.
// Used on the user-interface thread only; no locks.
#pragma once

#include "Canvas.h"

#include <cstdint>
#include <span>

namespace myrl {

// The sixteen stored properties of a chart: plain values, no validation, no side effect;
// they take effect at the next Clear or Plot. Colours 0x00BBGGRR. Compared as values.
struct ChartProps {
    uint32_t BgColor = Rgb(0, 0, 0);
    uint32_t FrmColor = Rgb(192, 192, 192);
    uint32_t GridColor = Rgb(128, 128, 128);
    int32_t XGridNum = 4;
    int32_t YGridNum = 4;
    double Xmin = -1.0;
    double Xmax = 1.0;
    double Ymin = -1.0;
    double Ymax = 1.0;
    bool logY = false;
    bool logX = false;
    double RefX = 0.0;
    double RefY = 0.0;
    bool RefXEn = true;
    bool RefYEn = true;
    uint32_t RefClr = Rgb(255, 255, 255);

    bool operator==(const ChartProps&) const = default;
};

class GraphPlot : public ChartProps {
public:
    // A chart of w x h pixels with the property defaults above; the picture starts black.
    explicit GraphPlot(int w = 0, int h = 0);

    const ChartProps& Props() const { return *this; }

    // Current size W x H in pixels, read by every drawing call. Growing it grows the canvas
    // (new pixels take BgColor until the next Clear); shrinking it keeps the larger canvas,
    // so the canvas is always at least W x H and its top-left W x H part is what shows.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int w, int h);

    Canvas& canvas() { return canvas_; }
    const Canvas& canvas() const { return canvas_; }

    // Fills the plot with BgColor, then draws the grid, the frame and the enabled reference
    // lines. Leaves the pen colour at RefClr, the pen width at 1 and the brush at BgColor.
    void Clear();

    // Draws points 0..N-1 of (X, Y) as one polyline in Color. On a logarithmic axis every
    // value not above 0 among the first N is replaced by 1e-99 in the caller's array.
    // N is limited to the shorter array; N < 2 draws nothing. An axis whose range cannot be
    // mapped (equal bounds; on a logarithmic axis a bound not above 0 or equal logarithms)
    // draws nothing.
    void Plot(std::span<double> X, std::span<double> Y, int32_t N, uint32_t Color);

    // The linear mappings to real pixel coordinates (extended precision, stored as double).
    double MapX(double x) const;
    double MapY(double y) const;
    // The mappings Plot uses: each axis on its own scale, a value not above 0 on a
    // logarithmic axis taken as 1e-99. Meaningful only while Mappable().
    double PlotX(double x) const;
    double PlotY(double y) const;
    // Both axis ranges can be mapped (what Plot needs to draw).
    bool Mappable() const;

private:
    double mapLogX(double x) const;
    double mapLogY(double y) const;
    void gridVertical();

    int width_ = 0;
    int height_ = 0;
    Canvas canvas_;
};

} // namespace myrl
