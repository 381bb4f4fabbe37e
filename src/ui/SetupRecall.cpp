#include "SetupRecall.h"

#include "DisplayView.h"
#include "Instrument.h"
#include "PanelView.h"
#include "Rnd.h"

#include <string>

namespace myrl {

namespace {

std::string wholeHz(double hz) {
    return std::to_string(rnd64(hz));
}

// The fields of definition `fdef` for a plan from `start` to `stop` (zero span: ZERO SPAN).
void planFields(Setup& s, int fdef, double start, double stop, bool zeroSpan) {
    if (zeroSpan) {
        s.FDefIndex = 2;
        s.Freq1 = wholeHz((start + stop) / 2);
        s.Freq2.assign(1, '0');
    } else if (fdef == 0) {
        s.FDefIndex = 0;
        s.Freq1 = wholeHz(start);
        s.Freq2 = wholeHz(stop);
    } else {
        s.FDefIndex = 1;
        s.Freq1 = wholeHz((start + stop) / 2);
        s.Freq2 = wholeHz(stop - start);
    }
}

} // namespace

Setup CurrentSetup(const Instrument& core, const PanelView& panel, const DisplayView& display) {
    const SweepSettings v = core.Settings();
    Setup s;
    planFields(s, panel.FDefIndex(), v.StartFreq, v.StopFreq, v.ZeroSpan);
    s.Frex = v.Frex;
    s.SweepTimeIdx = v.SweepTimeIdx;
    s.AvrNum = v.AvrNum;
    s.Mode = ModeText(v.Mode);
    s.Swr = v.Swr;
    s.RefPos = panel.RefposIndex();
    s.RefLevel = v.RefLevel;
    s.DbPerDiv = display.DbPerDiv();
    s.Calibration = core.CalibrationFile();
    s.LimitsOn = core.LimitsOn();
    s.Limits = core.Limits();
    return s;
}

void RecallSetup(const Setup& setup, Instrument& core, PanelView& panel, DisplayView& display) {
    if (!setup.Calibration.empty()) {
        core.LoadCalibration(setup.Calibration);
    }
    panel.SetFrex(setup.Frex);
    panel.EnterPlan(setup.FDefIndex, setup.Freq1, setup.Freq2);
    panel.ChooseSweepTime(setup.SweepTimeIdx);
    panel.ChooseAverage(setup.AvrNum);
    panel.ChooseMode(setup.Mode);
    display.SetDbPerDiv(setup.DbPerDiv);
    panel.ChooseRefpos(setup.RefPos);
    panel.SetSwrTicked(setup.Swr);
    core.SetLimits(setup.Limits);
    core.SetLimitsOn(setup.LimitsOn);
    panel.EnterRefLevel(setup.RefLevel); // applies the presentation and redraws Graph1
}

void EnterCalibrationPlan(Instrument& core, PanelView& panel) {
    const auto& r = core.CalibrationRecord();
    if (!r) {
        return;
    }
    Setup s;
    planFields(s, panel.FDefIndex(), r->StartFreq, r->StopFreq, r->ZeroSpan);
    panel.SetFrex(r->Frex);
    panel.EnterPlan(s.FDefIndex, s.Freq1, s.Freq2);
}

} // namespace myrl
