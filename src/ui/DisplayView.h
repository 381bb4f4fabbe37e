// What the control panel, the start-up code and any later window may ask of the display
// window: its response chart, the labels the panel's handlers rewrite, the presentation and
// the delay view. Nobody outside the display window reaches its controls. User-interface
// thread only.
#pragma once

#include "Cepstrum.h"
#include "Draw.h"

#include <optional>
#include <string>

namespace myrl {

class DisplayView {
public:
    // The start sequence; throws at the first failure, leaving the sweep timer off.
    virtual void FormCreate() = 0;

    // The response chart Graph1: its properties, size and picture.
    virtual GraphPlot& Graph1Plot() = 0;
    // dB (linear) or SWR (logarithmic) presentation by the instrument's view setting;
    // refills DispTrace. Does not redraw.
    virtual void ApplyPresentation() = 0;
    // The redraw of Graph1 with its marker readouts. A redraw whose inputs and canvas are
    // unchanged since the last one would give the same picture and is skipped.
    virtual void RedrawResponse() = 0;
    // Places the Ref label level with the refpos-th grid line of Graph1.
    virtual void PlaceRefLabel(int refpos) = 0;
    virtual void SetRefCaption(const std::string& text) = 0;
    virtual void SetAvrStat(const std::string& text) = 0;
    // Start, centre and stop frequency and frequency per division under Graph1.
    virtual void SetFreqLabels(const std::string& fl, const std::string& fc, const std::string& fu,
                               const std::string& fdiv) = 0;

    // The x value (Hz; percent of the sweep in zero span) marker 1 or 2 reads, as its readout
    // under Graph1 shows it.
    virtual double MarkerX(int marker) const = 0;
    // Moves marker 1 or 2 to the column of Graph1 that shows `x`, as a drag there does, and
    // redraws.
    virtual void MoveMarker(int marker, double x) = 0;

    // Opens (ticked) or closes the delay view above the response chart.
    virtual void CEPSClick(bool ticked) = 0;
    // Transform of the sweep just processed, drawn on Graph2.
    virtual void CepstrumStep() = 0;

    // The level scale in dB per division (one of kDbPerDivChoices; 10 unless chosen),
    // applied by the next ApplyPresentation.
    virtual int DbPerDiv() const = 0;
    virtual void SetDbPerDiv(int dbPerDiv) = 0;
    // The last transform drawn on Graph2, and the delay (s) under the pointer there when it
    // last moved over the chart; nothing before either.
    virtual const std::optional<CepstrumView>& LastCepstrum() const = 0;
    virtual std::optional<double> PointerDelay() const = 0;

protected:
    ~DisplayView() = default;
};

} // namespace myrl
