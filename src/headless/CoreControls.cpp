#include "CoreControls.h"

#include "Draw.h"
#include "FilterReadout.h"
#include "Instrument.h"
#include "LimitLines.h"
#include "Presentation.h"
#include "TextFile.h"
#include "TraceFile.h"

#include <stdexcept>

namespace myrl {

namespace {

bool endsWithTouchstone(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext == ".s1p";
}

} // namespace

CoreControls::CoreControls(Instrument& core, FieldsEntry& entry) : core_(core), entry_(entry) {
    singleDone_ = core_.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::SingleDone) {
            ChooseRunning(false);
        }
    });
}

void CoreControls::EnterPlan(int definition, const std::string& first, const std::string& second) {
    if (definition != entry_.FDefIndex()) {
        entry_.SetFDef(definition);
        core_.ChangePlan([&](MeasState& s) { ApplyFreqMode(s, entry_); });
    }
    entry_.SetEdit1Text(first);
    if (definition != 2) { // in zero span the second field is hidden
        entry_.SetEdit2Text(second);
    }
    core_.ChangePlan([&](MeasState& s) { ApplyFreqEntries(s, entry_); });
}

void CoreControls::ChooseSweepTime(int item) {
    if (item != core_.Settings().SweepTimeIdx) {
        core_.SetSweepTime(item);
    }
}

void CoreControls::ChooseAverage(int count) {
    core_.SetAverage(count);
}

void CoreControls::ChooseMode(MeasMode mode) {
    if (mode != core_.Settings().Mode) {
        core_.SetMode(mode);
    }
}

void CoreControls::SetSwrTicked(bool on) {
    if (on != core_.Settings().Swr) {
        core_.SetSwr(on);
        FillDispTrace(core_.State(), on);
    }
}

void CoreControls::EnterRefLevel(double db) {
    core_.SetRefLevel(db);
    FillDispTrace(core_.State(), core_.Settings().Swr);
}

void CoreControls::ChooseRunning(bool run) {
    if (!run) {
        core_.CancelSingle(); // HOLD chosen before a single acquisition settled ends it
    }
    core_.SetRunning(run);
}

void CoreControls::StartSingle() {
    core_.StartSingle();
    core_.SetRunning(true);
}

double CoreControls::MarkerX(int marker) const {
    const MeasState& s = core_.State();
    return MarkerFrequency(marker == 1 ? s.Marker1X : s.Marker2X, entry_.XMin, entry_.XMax,
                           kGraph1Width);
}

std::pair<double, double> CoreControls::MarkerRange() const {
    return {entry_.XMin, entry_.XMax};
}

void CoreControls::MoveMarker(int marker, double x) {
    core_.SetMarker(marker, MarkerColumnFor(x, entry_.XMin, entry_.XMax, kGraph1Width));
}

void CoreControls::SaveTrace(const std::string& path) {
    const auto sweep = core_.LastSweep();
    if (!sweep) {
        throw std::logic_error("no sweep has completed yet");
    }
    const MeasState s = sweep->AsState();
    TraceFileInfo info = SweepFileInfo(*sweep, entry_.FDefIndex());
    info.Calibration = core_.CalibrationSource();
    std::string bytes;
    if (endsWithTouchstone(path)) {
        if (!TouchstoneApplies(s, info.Mode, sweep->Settings.Swr)) {
            throw std::invalid_argument(
                "a Touchstone file holds a NORM level over a span (not SWR, not zero span)");
        }
        bytes = TouchstoneBytes(s, info, TouchstoneParam::S21);
    } else {
        bytes = TraceCsvBytes(s, info);
    }
    WriteFileReplacing(path, bytes);
    core_.Status().Set(StatusTopic::Saved, SavedLine(path, LocalTimeNow()));
}

void CoreControls::LoadLimits(const std::string& path) {
    core_.SetLimits(ReadLimitFile(path));
}

void CoreControls::LoadCalibration(const std::string& path) {
    core_.LoadCalibration(path);
}

} // namespace myrl
