// The response chart Graph1: marker lines, marker readouts and the one redraw sequence.
// Everything here runs on the user-interface thread with the program's measurement state.
#pragma once

#include "GraphPlot.h"
#include "MeasState.h"
#include "Presentation.h"

#include <string>

namespace myrl {

// Colour of both marker lines, RGB (255, 70, 70).
constexpr uint32_t MarkerColour = Rgb(255, 70, 70);

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
// trace lies over it. The caller shows the returned
// captions. On a logarithmic y axis Plot writes 1e-99 over DispTrace values not above 0.
MarkerReadouts RedrawResponse(GraphPlot& graph1, MeasState& state, bool swrChecked,
                              char thousandsSep, char decimalSep);

// Everything RedrawResponse draws and writes from: the chart's properties and size,
// PointNum, TraceClr, the markers, ZeroSpan, the SWR box, the separators, FreqAxis and
// DispTrace, and the trace memory's mode, colour, MemTrace and MemoryPoints (all zero while
// it is off).
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

    bool operator==(const RedrawKey&) const = default;
};

RedrawKey RedrawInputs(const GraphPlot& graph1, const MeasState& state, bool swrChecked,
                       char thousandsSep, char decimalSep);

} // namespace myrl
