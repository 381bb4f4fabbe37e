// The start of an instrument without windows, as the display window's creation starts the
// windowed program: the instrument constants, FREX and plan of a parameter file, the fixed
// start-up values, the plan's words and axis, an average of one.
#pragma once

#include "FreqEntry.h"
#include "ParamFile.h"

#include <string>

namespace myrl {

class Instrument;

// The items of the frequency definition list, by index: "START/STOP", "CENTER/SPAN",
// "ZERO SPAN"; an empty text for any other index (as a list with nothing selected).
std::string FDefItem(int index);

// The frequency entry without controls: the definition and the two fields as text; the
// labels and the x range go nowhere.
class FieldsEntry : public FreqEntryView {
public:
    FieldsEntry(int fdefIndex, std::string edit1, std::string edit2)
        : fdef_(FDefItem(fdefIndex)), edit1_(std::move(edit1)), edit2_(std::move(edit2)) {}
    std::string FDefText() const override { return fdef_; }
    std::string Edit1Text() const override { return edit1_; }
    std::string Edit2Text() const override { return edit2_; }
    void SetEdit1Text(const std::string& t) override { edit1_ = t; }
    void SetEdit2Text(const std::string& t) override { edit2_ = t; }
    void SetFieldCaptions(const std::string&, const std::string&) override {}
    void SetSecondFieldVisible(bool) override {}
    void SetFreqLabels(const std::string&, const std::string&, const std::string&,
                       const std::string&) override {}
    int32_t XGridNum() const override { return 10; }
    void SetXRange(double, double) override {}

private:
    std::string fdef_, edit1_, edit2_;
};

// Sets `core` up as the windowed program's start does with the same parameter file:
// GenClock, FrexRef, LevelOffset, the markers and FREX of `params`, the start-up values,
// the plan of its definition and fields (EConvertError when a field does not convert, as in
// the windows), the sweep words and axis, and an average of one.
void StartInstrument(Instrument& core, const StoredParams& params);

} // namespace myrl
