// The response chart Graph1: marker lines, marker readouts and the one redraw sequence.
// Everything here runs on the user-interface thread with the program's measurement state.
#pragma once

#include "GraphPlot.h"
#include "LimitLines.h"
#include "MeasState.h"
#include "Presentation.h"

#include <optional>
#include <string>
#include <vector>

namespace myrl {

// Colour of both marker lines, RGB (255, 70, 70).
constexpr uint32_t MarkerColour = Rgb(255, 70, 70);

// Colour of the limit lines, RGB (255, 160, 0), and of the trace's points outside them,
// RGB (255, 0, 0).
constexpr uint32_t LimitColour = Rgb(255, 160, 0);
constexpr uint32_t LimitFailColour = Rgb(255, 0, 0);

// What the limit lines add to Graph1 while they are on: the segments and the positions
// outside them, in the chart's units (x as FreqAxis, y as DispTrace). Empty while they are
// off, and then Graph1 is exactly as without limits.
struct LimitOverlay {
    struct Line {
        double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
        bool operator==(const Line&) const = default;
    };
    struct Point {
        double X = 0, Y = 0;
        bool operator==(const Point&) const = default;
    };
    std::vector<Line> Lines;
    std::vector<Point> Failing;
    bool operator==(const LimitOverlay&) const = default;
};

// The overlay of the segments of `limits` that are on and bound what Graph1 shows (a level
// set in the level view, an SWR set in the SWR view), with the failures of `verdict`:
// levels shifted by RefLevel as DispTrace is. In zero span, where x is the sweep's course, a
// segment covering the plan's frequency is a level line across the chart. Nothing while
// the memory is subtracted (the trace shown is then not the one judged).
LimitOverlay LimitOverlayFor(const LimitSet& limits, const std::optional<LimitVerdict>& verdict,
                             const MeasState& state, bool swrView);

// Draws the overlay over what graph1 holds: each line clipped to the chart in LimitColour,
// each failing position as a 3 x 3 square in LimitFailColour. Leaves the pen and brush
// colours as it found them.
void DrawLimits(GraphPlot& graph1, const LimitOverlay& overlay);

// The width of the response chart Graph1 in columns: the markers' positions are columns of it.
constexpr int kGraph1Width = 449;

// The captions of the readout labels under Graph1.
struct MarkerReadouts {
    std::string F_disp1; // lower marker x value, e.g. "FL= 10,670,089  Hz" or "FL=  20 %"
    std::string F_disp2; // upper marker x value
    std::string DF_disp; // distance of the two
    std::string M_disp1; // trace value at the lower marker, e.g. "( -2.5 dB )"
    std::string M_disp2; // trace value at the upper marker
};

// Draws the two dashed marker lines at columns Marker1X and Marker2X over what graph1
// holds: dashes of 5 pixels every 8, from row 1. Sets the pen colour to MarkerColour.
void DrawMarkers(GraphPlot& graph1, const MeasState& state);

// The x value (Hz; percent in zero span) a marker at `column` reads on a chart of `width`
// columns spanning [xmin, xmax].
double MarkerFrequency(int32_t column, double xmin, double xmax, int width);

// The value of DispTrace at x, as a marker readout takes it: linear interpolation in the
// interval whose lower point is the highest of 0..255 with an x value below x (or interval
// 0), the lower point's value on a zero-width interval.
double TraceValueAt(const MeasState& state, double x);

// Computes MarkerFL / MarkerFU (stored into state) from the marker columns and graph1's
// width and x range, and returns the readout captions. swrChecked is the state of the
// control panel's SWR box; the separators are the locale's ('\0' thousands = no grouping).
MarkerReadouts ShowMarkerReadouts(const GraphPlot& graph1, MeasState& state, bool swrChecked,
                                  char thousandsSep, char decimalSep);

// The redraw of Graph1: Clear; Plot(FreqAxis, DispTrace, PointNum, TraceClr); DrawMarkers;
// ShowMarkerReadouts. With the trace memory shown, Plot(FreqAxis, MemTrace, MemClr) of the
// points within the memory's frequencies (MemoryPoints) comes before the trace's, so the
// trace lies over it; with limit lines, DrawLimits comes after it, before the markers. The
// caller shows the returned captions. On a logarithmic y axis Plot writes 1e-99 over
// DispTrace values not above 0.
MarkerReadouts RedrawResponse(GraphPlot& graph1, MeasState& state, bool swrChecked,
                              char thousandsSep, char decimalSep,
                              const LimitOverlay* limits = nullptr);

// Everything RedrawResponse draws and writes from: the chart's properties and size,
// PointNum, TraceClr, the markers, ZeroSpan, the SWR box, the separators, FreqAxis and
// DispTrace, the trace memory's mode, colour, MemTrace and MemoryPoints (all zero while it
// is off), and the limit overlay (empty while the limits are off).
// Equal keys over an unchanged canvas (Canvas::Generation) give the same
// picture and readouts, so a redraw can be skipped. A field added here must be filled by
// RedrawInputs; the tests count the fields.
struct RedrawKey {
    ChartProps Chart;
    int Width = 0;
    int Height = 0;
    int32_t PointNum = 0;
    uint32_t TraceClr = 0;
    int32_t Marker1X = 0;
    int32_t Marker2X = 0;
    bool ZeroSpan = false;
    bool SwrChecked = false;
    char ThousandsSep = 0;
    char DecimalSep = 0;
    PointArray FreqAxis{};
    PointArray DispTrace{};
    int32_t MemMode = 0;
    uint32_t MemClr = 0;
    PointArray MemTrace{};
    PointRange MemPoints{};
    LimitOverlay Limits{};

    bool operator==(const RedrawKey&) const = default;
};

RedrawKey RedrawInputs(const GraphPlot& graph1, const MeasState& state, bool swrChecked,
                       char thousandsSep, char decimalSep, const LimitOverlay* limits = nullptr);

} // namespace myrl
