// The start of an instrument without windows, as the display window's creation starts the
// windowed program: the folder's parameter file (only read), the instrument constants, FREX
// and plan of it, the fixed start-up values, the plan's words and axis, an average of one;
// and what runs without windows share: a step view that shows nothing, the signals that end
// a run, the header of a trace file.
#pragma once

#include "FreqEntry.h"
#include "Instrument.h"
#include "ParamFile.h"
#include "TraceFile.h"

#include <csignal>
#include <string>

namespace myrl {

class TCommX;

// The items of the frequency definition list, by index: "START/STOP", "CENTER/SPAN",
// "ZERO SPAN"; an empty text for any other index (as a list with nothing selected).
std::string FDefItem(int index);

// The frequency entry without controls: the definition and the two fields as text; the
// labels and the x range go nowhere.
class FieldsEntry : public FreqEntryView {
public:
    FieldsEntry(int fdefIndex, std::string edit1, std::string edit2)
        : fdef_(FDefItem(fdefIndex)), edit1_(std::move(edit1)), edit2_(std::move(edit2)) {}
    // The index of the definition chosen (-1 for none), and a new choice.
    int FDefIndex() const;
    void SetFDef(int index) { fdef_ = FDefItem(index); }
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
    void SetXRange(double xmin, double xmax) override {
        XMin = xmin;
        XMax = xmax;
    }
    // The x range the response chart would span (Hz; 0..100 in zero span).
    double XMin = 0, XMax = 0;

private:
    std::string fdef_, edit1_, edit2_;
};

// The SWEEP TIME item the panel shows at start ("0.5s").
constexpr int kStartSweepTimeItem = 1;

// Sets `core` up as the windowed program's start does with the same parameter file:
// GenClock, FrexRef, LevelOffset, the markers and FREX of `params`, the start-up values,
// the plan of its definition and fields (EConvertError when a field does not convert, as in
// the windows), the sweep words and axis, the sweep time of the panel at start and an
// average of one.
void StartInstrument(Instrument& core, const StoredParams& params);
// The same, with the frequency fields kept in `entry` (made from `params`) for later entries.
void StartInstrument(Instrument& core, const StoredParams& params, FieldsEntry& entry);

// Lends `port`, set for the unit's line, to `core`: the port number's device (a COMn link of
// the working folder or /dev/ttyS(n-1)), or `device` when it is not empty. Nothing is opened.
void AttachUnitPort(Instrument& core, TCommX& port, int32_t portNo, const std::string& device);

// The parameter file of the working folder, only read; the defaults when there is none.
// Throws std::runtime_error with one English line naming the file (and the line) and the
// reason.
StoredParams ReadFolderParams();

// Shows nothing: a run without windows has no progress bar, status label or delay view.
class NoStepView : public StepView {
public:
    void SetProgress(int32_t) override {}
    void SetAvrStat(const std::string&) override {}
    void CepstrumStep() override {}
};

// SIGINT, SIGTERM and SIGHUP ask a run without windows to end: while an instance lives
// they set Stopped() instead of ending the process, and interrupt a wait under way (no
// SA_RESTART). Block() keeps them pending outside the waits that unblock them (ppoll with
// WaitMask()), so that none is missed between a check of Stopped() and the wait.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    bool Stopped() const;
    void Block();
    const sigset_t* WaitMask() const { return blocked_ ? &waitMask_ : nullptr; }

private:
    struct sigaction old_[3]{};
    bool blocked_ = false;
    sigset_t oldMask_{};
    sigset_t waitMask_{};
};

// The header of a trace file of `sweep`: the program and version, now, the plan by the
// frequency definition `fdefIndex`, the sweep's settings.
TraceFileInfo SweepFileInfo(const SweepSnapshot& sweep, int fdefIndex);

} // namespace myrl
