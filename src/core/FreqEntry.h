// Frequency entry: the two frequency fields of the control panel to the sweep limits
// and back, the frequency labels of the display window and the main plot's x range.
// User-interface thread only.
#pragma once

#include "MeasState.h"

#include <cstdint>
#include <string>

namespace myrl {

// The controls the frequency entry reads and writes, implemented by the windows (and
// by plain structs in tests).
class FreqEntryView {
public:
    virtual ~FreqEntryView() = default;
    virtual std::string FDefText() const = 0; // "START/STOP", "CENTER/SPAN", "ZERO SPAN"
    virtual std::string Edit1Text() const = 0;
    virtual std::string Edit2Text() const = 0;
    virtual void SetEdit1Text(const std::string& text) = 0;
    virtual void SetEdit2Text(const std::string& text) = 0;
    // Label6 and Label7, the captions above the two fields.
    virtual void SetFieldCaptions(const std::string& first, const std::string& second) = 0;
    // Edit2 with its "Hz" label Label9.
    virtual void SetSecondFieldVisible(bool visible) = 0;
    // Label_FL, Label_FC, Label_FU, Label_FDIV.
    virtual void SetFreqLabels(const std::string& fl, const std::string& fc, const std::string& fu,
                               const std::string& fdiv) = 0;
    virtual int32_t XGridNum() const = 0;                 // of Graph1
    virtual void SetXRange(double xmin, double xmax) = 0; // of Graph1
    virtual char DecimalSeparator() const { return '.'; }
    virtual char ThousandsSeparator() const { return ','; }
};

// A frequency field's text as the entry takes it: an optional M or K suffix (either case)
// multiplies the number (read with `decimalSep`), and the result is rounded to whole hertz
// and written in plain decimal digits ("10.7M" -> "10700000"). Throws EConvertError.
std::string NormalisedFrequency(const std::string& text, char decimalSep);

// Normalises both fields (M/K suffixes, whole hertz) and sets StartFreq, StopFreq and
// ZeroSpan from them by the definition shown in F_DEF; then UpdateFreqAxis. A field
// that does not convert throws EConvertError; what was done before stays, the limits,
// labels and x range keep their old values.
void ApplyFreqEntries(MeasState& s, FreqEntryView& v);

// Rewrites both fields and their captions from StartFreq and StopFreq in the definition
// shown in F_DEF; then UpdateFreqAxis.
void ApplyFreqMode(MeasState& s, FreqEntryView& v);

// The frequency labels and Graph1's x range from StartFreq and StopFreq.
void UpdateFreqAxis(MeasState& s, FreqEntryView& v);

// The zoom, move and centring buttons of the control panel.
enum class PlanButton { ZoomOut, ZoomIn, MoveLeft, MoveRight, CentreOnFL, CentreOnFU };

// New span and centre for `button`, then ApplyFreqMode and ApplyFreqEntries. Does
// nothing in zero span.
void ApplyPlanButton(MeasState& s, FreqEntryView& v, PlanButton button);

} // namespace myrl
