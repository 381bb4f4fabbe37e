#include "Draw.h"

#include "Format.h"
#include "Rnd.h"

#include <algorithm>
#include <cmath>
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

// Clips the segment (x1, y1) - (x2, y2) to [lo, hiX] x [lo, hiY] (Liang-Barsky); false when
// nothing of it lies inside.
bool clip(double& x1, double& y1, double& x2, double& y2, double lo, double hiX, double hiY) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    double t0 = 0;
    double t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - lo, hiX - x1, y1 - lo, hiY - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return false;
        }
    }
    const double ax = x1 + t0 * dx;
    const double ay = y1 + t0 * dy;
    x2 = x1 + t1 * dx;
    y2 = y1 + t1 * dy;
    x1 = ax;
    y1 = ay;
    return true;
}

} // namespace

LimitOverlay LimitOverlayFor(const LimitSet& limits, const std::optional<LimitVerdict>& verdict,
                             const MeasState& state, bool swrView) {
    LimitOverlay o;
    const bool shown = (limits.View == LimitView::Swr) == swrView;
    if (!shown || state.MemMode == kMemSubtracted) {
        return o;
    }
    const double shift = swrView ? 0 : state.RefLevel;
    const double centre = (state.StartFreq + state.StopFreq) / 2;
    for (const LimitSegment& seg : limits.Segments) {
        if (!seg.On) {
            continue;
        }
        if (state.ZeroSpan) {
            if (std::min(seg.F1, seg.F2) <= centre && centre <= std::max(seg.F1, seg.F2)) {
                const double y = LimitAt(seg, centre) - shift;
                o.Lines.push_back({0, y, 100, y});
            }
            continue;
        }
        o.Lines.push_back({seg.F1, seg.V1 - shift, seg.F2, seg.V2 - shift});
    }
    if (verdict && verdict->View == limits.View) {
        for (const LimitFailure& f : verdict->Failures) {
            double x = f.Hz;
            if (state.ZeroSpan) {
                if (f.Point < 0 || f.Point >= kArrayLen) {
                    continue;
                }
                x = state.FreqAxis[static_cast<size_t>(f.Point)];
            }
            o.Failing.push_back({x, f.Value - shift});
        }
    }
    return o;
}

void DrawLimits(GraphPlot& graph1, const LimitOverlay& overlay) {
    if (!graph1.Mappable() || (overlay.Lines.empty() && overlay.Failing.empty())) {
        return;
    }
    Canvas& canvas = graph1.canvas();
    const uint32_t pen = canvas.PenColor();
    const uint32_t brush = canvas.BrushColor();
    const double w = graph1.Width();
    const double h = graph1.Height();
    canvas.SetPenColor(LimitColour);
    for (const LimitOverlay::Line& l : overlay.Lines) {
        double x1 = graph1.PlotX(l.X1);
        double y1 = graph1.PlotY(l.Y1);
        double x2 = graph1.PlotX(l.X2);
        double y2 = graph1.PlotY(l.Y2);
        if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2) ||
            !clip(x1, y1, x2, y2, -1, w, h)) {
            continue;
        }
        canvas.MoveTo(rnd(x1), rnd(y1));
        canvas.LineTo(rnd(x2), rnd(y2));
        canvas.LineTo(rnd(x2) + 1, rnd(y2)); // the end pixel too
    }
    canvas.SetPenColor(LimitFailColour);
    canvas.SetBrushColor(LimitFailColour);
    for (const LimitOverlay::Point& p : overlay.Failing) {
        const double x = graph1.PlotX(p.X);
        const double y = graph1.PlotY(p.Y);
        if (!(x > -2 && x < w + 1 && y > -2 && y < h + 1)) {
            continue;
        }
        const int px = rnd(x);
        const int py = rnd(y);
        canvas.FillRect(px - 1, py - 1, px + 2, py + 2);
    }
    canvas.SetPenColor(pen);
    canvas.SetBrushColor(brush);
}

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
                              char thousandsSep, char decimalSep, const LimitOverlay* limits) {
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
    if (limits) {
        DrawLimits(graph1, *limits);
    }
    DrawMarkers(graph1, state);
    return ShowMarkerReadouts(graph1, state, swrChecked, thousandsSep, decimalSep);
}

RedrawKey RedrawInputs(const GraphPlot& g, const MeasState& s, bool swrChecked, char thousandsSep,
                       char decimalSep, const LimitOverlay* limits) {
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
    if (limits) {
        key.Limits = *limits;
    }
    return key;
}

} // namespace myrl
