#include "FreqEntry.h"

#include "Convert.h"
#include "Format.h"
#include "Rnd.h"
#include "SweepProc.h"

#include <cmath>

namespace myrl {

namespace {

// Nearest integer, halves to even, as a 64-bit value written in plain decimal digits.
std::string wholeHertz(double x) {
    const double r = RoundHalfEven(x);
    if (!(std::fabs(r) < 9.2e18)) {
        return FormatGeneral(r); // beyond 64 bits; StrToInt refuses it later
    }
    return std::to_string(rnd64(r));
}

} // namespace

std::string NormalisedFrequency(const std::string& text, char decimalSep) {
    std::string t = text;
    double factor = 1;
    if (!t.empty()) {
        char c = t.back();
        if (c == 'M' || c == 'm') {
            factor = 1000000;
            t.pop_back();
        } else if (c == 'K' || c == 'k') {
            factor = 1000;
            t.pop_back();
        }
    }
    return wholeHertz(StrToFloat(t, decimalSep) * factor);
}

void ApplyFreqEntries(MeasState& s, FreqEntryView& v) {
    AvrReset(s);
    const char sep = v.DecimalSeparator();
    v.SetEdit1Text(NormalisedFrequency(v.Edit1Text(), sep));
    v.SetEdit2Text(NormalisedFrequency(v.Edit2Text(), sep));

    const std::string fdef = v.FDefText();
    if (fdef == "START/STOP") {
        int32_t a = StrToInt(v.Edit1Text());
        int32_t b = StrToInt(v.Edit2Text());
        if (a > b) {
            v.SetEdit2Text(v.Edit1Text());
            b = a;
        }
        s.StartFreq = a;
        s.StopFreq = b;
        s.ZeroSpan = v.Edit1Text() == v.Edit2Text();
    } else if (fdef == "CENTER/SPAN" || fdef == "ZERO SPAN") {
        const double c = StrToInt(v.Edit1Text());
        const double span = StrToInt(v.Edit2Text());
        s.StartFreq = c - span / 2;
        s.StopFreq = c + span / 2;
        s.ZeroSpan = fdef == "ZERO SPAN" || span == 0;
    }
    UpdateFreqAxis(s, v);
}

void ApplyFreqMode(MeasState& s, FreqEntryView& v) {
    AvrReset(s);
    const std::string fdef = v.FDefText();
    if (fdef == "START/STOP") {
        v.SetEdit1Text(wholeHertz(s.StartFreq));
        v.SetEdit2Text(wholeHertz(s.StopFreq));
        v.SetFieldCaptions("START", "STOP");
        v.SetSecondFieldVisible(true);
        s.ZeroSpan = false;
    } else if (fdef == "CENTER/SPAN" || fdef == "ZERO SPAN") {
        v.SetEdit1Text(wholeHertz((s.StopFreq + s.StartFreq) / 2));
        v.SetEdit2Text(wholeHertz(s.StopFreq - s.StartFreq));
        const bool zero = fdef == "ZERO SPAN";
        v.SetFieldCaptions(zero ? "FREQUENCY" : "CENTER", zero ? "" : "SPAN");
        v.SetSecondFieldVisible(!zero);
        s.ZeroSpan = zero;
    }
    UpdateFreqAxis(s, v);
}

void UpdateFreqAxis(MeasState& s, FreqEntryView& v) {
    if (s.StartFreq == s.StopFreq) {
        s.ZeroSpan = true;
    }
    const char sep = v.ThousandsSeparator();
    const std::string fc = FormatGrouped((s.StopFreq + s.StartFreq) / 2, 9, sep);
    if (!s.ZeroSpan) {
        v.SetFreqLabels(FormatGrouped(s.StartFreq, 9, sep), fc, FormatGrouped(s.StopFreq, 9, sep),
                        FormatGrouped((s.StopFreq - s.StartFreq) / v.XGridNum(), 9, sep) +
                            "  Hz/div");
        v.SetXRange(s.StartFreq, s.StopFreq);
    } else {
        v.SetFreqLabels("", fc, "", "");
        v.SetXRange(0.0, 100.0);
    }
}

void ApplyPlanButton(MeasState& s, FreqEntryView& v, PlanButton button) {
    if (s.ZeroSpan) {
        return;
    }
    double span = s.StopFreq - s.StartFreq;
    double centre = (s.StopFreq + s.StartFreq) / 2;
    switch (button) {
    case PlanButton::ZoomOut:
        span = span * 1.1;
        break;
    case PlanButton::ZoomIn:
        span = span / 1.1;
        break;
    case PlanButton::MoveLeft:
        centre = centre - 0.1 * span;
        break;
    case PlanButton::MoveRight:
        centre = centre + 0.1 * span;
        break;
    case PlanButton::CentreOnFL:
        centre = s.MarkerFL;
        break;
    case PlanButton::CentreOnFU:
        centre = s.MarkerFU;
        break;
    }
    s.StopFreq = centre + span / 2;
    s.StartFreq = centre - span / 2;
    ApplyFreqMode(s, v);
    ApplyFreqEntries(s, v);
}

} // namespace myrl
