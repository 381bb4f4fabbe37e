#include "HeadlessStart.h"

#include "FreqPlan.h"
#include "Instrument.h"
#include "Presentation.h"

namespace myrl {

std::string FDefItem(int index) {
    static const char* const items[] = {"START/STOP", "CENTER/SPAN", "ZERO SPAN"};
    return index >= 0 && index < 3 ? items[index] : "";
}

void StartInstrument(Instrument& core, const StoredParams& params) {
    MeasState& s = core.State();
    s.GenClock = params.GenClock;
    s.FrexRef = params.FrexRef;
    s.LevelOffset = params.LevelOffset;
    s.Marker1X = params.Marker1X;
    s.Marker2X = params.Marker2X;
    core.SetFrex(params.Frex);
    ApplyStartupValues(s);
    FillDispTrace(s, core.Settings().Swr);
    FieldsEntry entry(params.FDefIndex, params.Edit1, params.Edit2);
    core.ChangePlan([&](MeasState& st) { ApplyFreqEntries(st, entry); });
    core.ChangePlan([&](MeasState& st) { ApplyFreqMode(st, entry); });
    CalcSweepWords(s, core.Settings().Frex);
    CalcFreqAxis(s, core.Settings().Frex);
    core.SetAverage(1);
}

} // namespace myrl
