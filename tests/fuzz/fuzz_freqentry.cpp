// The frequency entry. Input lines: the F_DEF text, the texts of Edit1 and Edit2, the
// decimal separator (',' when the line starts with one, else '.'), then a line of
// operations, one character each:
//   E  Enter (ApplyFreqEntries)        M  a change of F_DEF (ApplyFreqMode)
//   S, C, Z  F_DEF becomes "START/STOP", "CENTER/SPAN", "ZERO SPAN"
//   0..5  the zoom out, zoom in, move left, move right, FL=C and FU=C buttons
//   L, U  the marker readouts FL and FU take the current start / stop frequency
// (at most 16 operations)
// Without an operation line the input is one Enter, as after typing the fields.
#include "Convert.h"
#include "Errors.h"
#include "FreqEntry.h"
#include "FuzzSupport.h"
#include "PlainFreqEntry.h"
#include "Plans.h"
#include "SweepProc.h"

#include <string>

using namespace myrl;

namespace {

using Fields = PlainFreqEntry;

bool PlainDecimal(const std::string& t) {
    size_t i = !t.empty() && t[0] == '-' ? 1 : 0;
    if (i == t.size()) {
        return false;
    }
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') {
            return false;
        }
    }
    return true;
}

// What every operation that ends in UpdateFreqAxis leaves behind.
void CheckAxis(const MeasState& s, const Fields& v) {
    if (s.StartFreq == s.StopFreq) {
        FUZZ_CHECK(s.ZeroSpan);
    }
    if (s.ZeroSpan) {
        FUZZ_CHECK(v.xmin == 0.0 && v.xmax == 100.0);
        FUZZ_CHECK(v.fl.empty() && v.fu.empty() && v.fdiv.empty());
    } else {
        FUZZ_CHECK(fuzz::SameBits(v.xmin, s.StartFreq));
        FUZZ_CHECK(fuzz::SameBits(v.xmax, s.StopFreq));
        FUZZ_CHECK(v.fdiv.size() >= 8 && v.fdiv.compare(v.fdiv.size() - 8, 8, "  Hz/div") == 0);
    }
    FUZZ_CHECK(v.fc.size() >= 9); // right-aligned in at least 9 characters
}

// Enter: the fields are normalised to whole hertz and give the limits, or a conversion
// error leaves limits, labels and x range as they were.
void Enter(MeasState& s, Fields& v) {
    struct {
        double StartFreq, StopFreq;
        bool ZeroSpan;
    } const before{s.StartFreq, s.StopFreq, s.ZeroSpan};
    const Fields shown = v;
    try {
        ApplyFreqEntries(s, v);
    } catch (const EConvertError&) {
        FUZZ_CHECK(fuzz::SameBits(s.StartFreq, before.StartFreq));
        FUZZ_CHECK(fuzz::SameBits(s.StopFreq, before.StopFreq));
        FUZZ_CHECK(s.ZeroSpan == before.ZeroSpan);
        FUZZ_CHECK(v.fl == shown.fl && v.fc == shown.fc && v.fu == shown.fu &&
                   v.fdiv == shown.fdiv);
        FUZZ_CHECK(fuzz::SameBits(v.xmin, shown.xmin));
        FUZZ_CHECK(fuzz::SameBits(v.xmax, shown.xmax));
        FUZZ_CHECK(s.AvrCount == 1 && s.AvrSlot == 0);
        return;
    }
    FUZZ_CHECK(s.AvrCount == 1 && s.AvrSlot == 0);
    const bool known = v.fdef == "START/STOP" || v.fdef == "CENTER/SPAN" || v.fdef == "ZERO SPAN";
    if (known) {
        FUZZ_CHECK(PlainDecimal(v.edit1) && PlainDecimal(v.edit2));
    } else {
        FUZZ_CHECK(fuzz::SameBits(s.StartFreq, before.StartFreq));
        FUZZ_CHECK(fuzz::SameBits(s.StopFreq, before.StopFreq));
    }
    if (v.fdef == "START/STOP") {
        FUZZ_CHECK(s.StartFreq <= s.StopFreq);
        FUZZ_CHECK(std::to_string(static_cast<int64_t>(s.StartFreq)) == v.edit1);
        FUZZ_CHECK(std::to_string(static_cast<int64_t>(s.StopFreq)) == v.edit2);
    } else if (v.fdef == "CENTER/SPAN" || v.fdef == "ZERO SPAN") {
        FUZZ_CHECK(s.StopFreq - s.StartFreq == StrToInt(v.edit2));
        if (v.fdef == "ZERO SPAN") {
            FUZZ_CHECK(s.ZeroSpan);
        }
    }
    CheckAxis(s, v);
}

void Mode(MeasState& s, Fields& v) {
    const double start = s.StartFreq, stop = s.StopFreq;
    ApplyFreqMode(s, v);
    FUZZ_CHECK(fuzz::SameBits(s.StartFreq, start) && fuzz::SameBits(s.StopFreq, stop));
    CheckAxis(s, v);
}

void Button(MeasState& s, Fields& v, PlanButton b) {
    try {
        ApplyPlanButton(s, v, b);
    } catch (const EConvertError&) {
        return; // a plan beyond 32-bit hertz: the fields say so at the next Enter
    }
    CheckAxis(s, v);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in(data, size);
    static MeasState s; // large: kept, and set afresh for every input
    s = MeasState{};
    SetPlan(s, 0, 20000000);
    s.AvrNum = 4;
    AvrReset(s);
    Fields v;
    v.fdef = in.Line();
    v.edit1 = in.Line();
    v.edit2 = in.Line();
    const std::string sepLine = in.Line();
    v.decimalSep = sepLine.empty() || sepLine[0] != ',' ? '.' : ',';
    const std::string ops = in.Left() ? std::string(in.Rest()) : "E";

    for (char op : ops.substr(0, 16)) {
        switch (op) {
        case 'E':
            Enter(s, v);
            break;
        case 'M':
            Mode(s, v);
            break;
        case 'S':
            v.fdef = "START/STOP";
            break;
        case 'C':
            v.fdef = "CENTER/SPAN";
            break;
        case 'Z':
            v.fdef = "ZERO SPAN";
            break;
        case 'L':
            s.MarkerFL = s.StartFreq;
            break;
        case 'U':
            s.MarkerFU = s.StopFreq;
            break;
        default:
            if (op >= '0' && op <= '5') {
                Button(s, v, static_cast<PlanButton>(op - '0'));
            }
            break;
        }
    }
    return 0;
}
