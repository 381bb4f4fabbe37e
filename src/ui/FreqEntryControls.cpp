#include "FreqEntryControls.h"

#include "DisplayView.h"
#include "PanelView.h"
#include "Widgets.h"

namespace myrl {

std::string FreqEntryControls::FDefText() const {
    return panel_.FDefText();
}
std::string FreqEntryControls::Edit1Text() const {
    return panel_.Edit1Text();
}
std::string FreqEntryControls::Edit2Text() const {
    return panel_.Edit2Text();
}
void FreqEntryControls::SetEdit1Text(const std::string& text) {
    panel_.SetEdit1Text(text);
}
void FreqEntryControls::SetEdit2Text(const std::string& text) {
    panel_.SetEdit2Text(text);
}
void FreqEntryControls::SetFieldCaptions(const std::string& first, const std::string& second) {
    panel_.SetFieldCaptions(first, second);
}
void FreqEntryControls::SetSecondFieldVisible(bool visible) {
    panel_.SetSecondFieldVisible(visible);
}
void FreqEntryControls::SetFreqLabels(const std::string& fl, const std::string& fc,
                                      const std::string& fu, const std::string& fdiv) {
    display_.SetFreqLabels(fl, fc, fu, fdiv);
}
int32_t FreqEntryControls::XGridNum() const {
    return display_.Graph1Plot().XGridNum;
}
void FreqEntryControls::SetXRange(double xmin, double xmax) {
    display_.Graph1Plot().Xmin = xmin;
    display_.Graph1Plot().Xmax = xmax;
}
char FreqEntryControls::DecimalSeparator() const {
    return LocaleDecimalSeparator();
}
char FreqEntryControls::ThousandsSeparator() const {
    return LocaleThousandsSeparator();
}

} // namespace myrl
