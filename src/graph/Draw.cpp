#include "Draw.h"

#include "Format.h"
#include "Rnd.h"

#include <span>
#include <utility>

namespace myrl {

namespace {

using Ext = long double;

void drawMarkerLine(Canvas& canvas, int x, int height) {
    for (int64_t row = 1; row <= height; row += 8) {
        canvas.MoveTo(x, static_cast<int>(row));
        canvas.LineTo(x, static_cast<int>(row + 5));
    }
}

std::string levelCaption(double v, bool swrChecked, char decimalSep) {
    if (swrChecked) {
        if (v > 10.0) {
            return "( SWR > 10.0 )";
        }
        return "( SWR = " + FormatFixed(v, 1, 3, decimalSep) + " )";
    }
    return "( " + FormatFixed(v, 2, 1, decimalSep) + " dB )";
}

} // namespace

double TraceValueAt(const MeasState& s, double x) {
    int idx = kPointCount - 1;
    while (s.FreqAxis[idx] >= x && idx > 0) {
        --idx;
    }
    const double f0 = s.FreqAxis[idx];
    const double f1 = s.FreqAxis[idx + 1];
    const double d0 = s.DispTrace[idx];
    const double d1 = s.DispTrace[idx + 1];
    if (f1 == f0) {
        return d0;
    }
    return static_cast<double>(d0 + (static_cast<Ext>(x) - f0) * (static_cast<Ext>(d1) - d0) /
                                        (static_cast<Ext>(f1) - f0));
}

double MarkerFrequency(int32_t column, double xmin, double xmax, int width) {
    const Ext span = static_cast<Ext>(xmax) - xmin;
    const Ext last = width - 1;
    return static_cast<double>(column / last * span + xmin);
}

void DrawMarkers(GraphPlot& graph1, const MeasState& state) {
    Canvas& canvas = graph1.canvas();
    canvas.SetPenColor(MarkerColour);
    drawMarkerLine(canvas, state.Marker1X, graph1.Height());
    drawMarkerLine(canvas, state.Marker2X, graph1.Height());
}

MarkerReadouts ShowMarkerReadouts(const GraphPlot& graph1, MeasState& state, bool swrChecked,
                                  char thousandsSep, char decimalSep) {
    const double fA = MarkerFrequency(state.Marker1X, graph1.Xmin, graph1.Xmax, graph1.Width());
    const double fB = MarkerFrequency(state.Marker2X, graph1.Xmin, graph1.Xmax, graph1.Width());
    state.MarkerFU = fA;
    state.MarkerFL = fB;
    if (state.MarkerFU < state.MarkerFL) {
        std::swap(state.MarkerFU, state.MarkerFL);
    }

    const char* unit = state.ZeroSpan ? " %" : "  Hz";
    auto grouped = [&](double v) { return FormatGrouped(rnd(v), 3, thousandsSep) + unit; };

    MarkerReadouts r;
    r.F_disp1 = "FL= " + grouped(state.MarkerFL);
    r.F_disp2 = "FU= " + grouped(state.MarkerFU);
    r.DF_disp = "df = " + grouped(state.MarkerFU - state.MarkerFL);
    r.M_disp1 = levelCaption(TraceValueAt(state, state.MarkerFL), swrChecked, decimalSep);
    r.M_disp2 = levelCaption(TraceValueAt(state, state.MarkerFU), swrChecked, decimalSep);
    return r;
}

MarkerReadouts RedrawResponse(GraphPlot& graph1, MeasState& state, bool swrChecked,
                              char thousandsSep, char decimalSep) {
    graph1.Clear();
    if (state.MemMode == kMemShown) {
        const PointRange r = MemoryPoints(state);
        const auto first = static_cast<size_t>(r.First);
        graph1.Plot(std::span<double>(state.FreqAxis).subspan(first),
                    std::span<double>(state.MemTrace).subspan(first), r.Count, state.MemClr);
    }
    if (state.MemMode == kMemSubtracted) {
        // A difference exists only where the memory has points.
        const PointRange r = MemoryPoints(state);
        const auto first = static_cast<size_t>(r.First);
        graph1.Plot(std::span<double>(state.FreqAxis).subspan(first),
                    std::span<double>(state.DispTrace).subspan(first), r.Count, state.TraceClr);
    } else {
        graph1.Plot(state.FreqAxis, state.DispTrace, state.PointNum, state.TraceClr);
    }
    DrawMarkers(graph1, state);
    return ShowMarkerReadouts(graph1, state, swrChecked, thousandsSep, decimalSep);
}

RedrawKey RedrawInputs(const GraphPlot& g, const MeasState& s, bool swrChecked, char thousandsSep,
                       char decimalSep) {
    RedrawKey key{g.Props(),  g.Width(),  g.Height(), s.PointNum, s.TraceClr,
                  s.Marker1X, s.Marker2X, s.ZeroSpan, swrChecked, thousandsSep,
                  decimalSep, s.FreqAxis, s.DispTrace};
    if (s.MemMode != kMemOff) {
        key.MemMode = s.MemMode;
        key.MemClr = s.MemClr;
        key.MemPoints = MemoryPoints(s);
        if (s.MemMode == kMemShown) {
            key.MemTrace = s.MemTrace;
        }
    }
    return key;
}

} // namespace myrl
