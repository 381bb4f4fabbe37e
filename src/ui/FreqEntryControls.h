// The frequency entry's controls in the windows: the definition and the two fields with
// their captions on the control panel, the frequency labels and Graph1's x range on the
// display window. User-interface thread only.
#pragma once

#include "FreqEntry.h"

namespace myrl {

class DisplayView;
class PanelView;

class FreqEntryControls : public FreqEntryView {
public:
    FreqEntryControls(PanelView& panel, DisplayView& display) : panel_(panel), display_(display) {}

    std::string FDefText() const override;
    std::string Edit1Text() const override;
    std::string Edit2Text() const override;
    void SetEdit1Text(const std::string& text) override;
    void SetEdit2Text(const std::string& text) override;
    void SetFieldCaptions(const std::string& first, const std::string& second) override;
    void SetSecondFieldVisible(bool visible) override;
    void SetFreqLabels(const std::string& fl, const std::string& fc, const std::string& fu,
                       const std::string& fdiv) override;
    int32_t XGridNum() const override;
    void SetXRange(double xmin, double xmax) override;
    char DecimalSeparator() const override;
    char ThousandsSeparator() const override;

private:
    PanelView& panel_;
    DisplayView& display_;
};

} // namespace myrl
