#include "HeadlessStart.h"

#include "CommX.h"
#include "ErrorDetail.h"
#include "Errors.h"
#include "FreqPlan.h"
#include "Instrument.h"
#include "MeasureOptions.h"
#include "Presentation.h"
#include "TextFile.h"

#include <clocale>
#include <stdexcept>

#ifndef MYRL_VERSION
#define MYRL_VERSION "?"
#endif

namespace myrl {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

constexpr int kStopSignals[3] = {SIGINT, SIGTERM, SIGHUP};

char localeDecimalSeparator() {
    std::setlocale(LC_NUMERIC, "");
    const lconv* lc = std::localeconv();
    const char sep = lc && lc->decimal_point && lc->decimal_point[0] ? lc->decimal_point[0] : '.';
    std::setlocale(LC_NUMERIC, "C");
    return sep;
}

} // namespace

std::string FDefItem(int index) {
    static const char* const items[] = {"START/STOP", "CENTER/SPAN", "ZERO SPAN"};
    return index >= 0 && index < 3 ? items[index] : "";
}

int FieldsEntry::FDefIndex() const {
    for (int i = 0; i < 3; ++i) {
        if (fdef_ == FDefItem(i)) {
            return i;
        }
    }
    return -1;
}

void StartInstrument(Instrument& core, const StoredParams& params) {
    FieldsEntry entry(params.FDefIndex, params.Edit1, params.Edit2);
    StartInstrument(core, params, entry);
}

void StartInstrument(Instrument& core, const StoredParams& params, FieldsEntry& entry) {
    MeasState& s = core.State();
    s.GenClock = params.GenClock;
    s.FrexRef = params.FrexRef;
    s.LevelOffset = params.LevelOffset;
    s.Marker1X = params.Marker1X;
    s.Marker2X = params.Marker2X;
    core.SetFrex(params.Frex);
    ApplyStartupValues(s);
    FillDispTrace(s, core.Settings().Swr);
    core.ChangePlan([&](MeasState& st) { ApplyFreqEntries(st, entry); });
    core.ChangePlan([&](MeasState& st) { ApplyFreqMode(st, entry); });
    CalcSweepWords(s, core.Settings().Frex);
    CalcFreqAxis(s, core.Settings().Frex);
    s.SweepTimeIdx = kStartSweepTimeItem;
    core.SetAverage(1);
}

void AttachUnitPort(Instrument& core, TCommX& port, int32_t portNo, const std::string& device) {
    ConfigureUnitPort(port);
    port.SetPortNo(portNo);
    core.AttachPort(port);
    if (!device.empty()) {
        core.SetDevice(device);
    }
}

StoredParams ReadFolderParams() {
    StoredParams params;
    if (!FileCanBeRead(kParamFileName)) {
        return params;
    }
    int line = 0;
    try {
        return ParamsFromLines(ReadParamLines(kParamFileName), localeDecimalSeparator(), &line);
    } catch (const EInOutError& e) {
        throw std::runtime_error(std::string(kParamFileName) + ": " + ErrorReason(e));
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string(kParamFileName) + ", line " + std::to_string(line) +
                                 ": does not convert (" + ErrorReason(e) + ")");
    }
}

StopSignals::StopSignals() {
    g_stop = 0;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kStopSignals[i], &sa, &old_[i]);
    }
}

StopSignals::~StopSignals() {
    if (blocked_) {
        ::sigprocmask(SIG_SETMASK, &oldMask_, nullptr);
    }
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kStopSignals[i], &old_[i], nullptr);
    }
}

bool StopSignals::Stopped() const {
    return g_stop != 0;
}

void StopSignals::Block() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kStopSignals) {
        sigaddset(&set, s);
    }
    ::sigprocmask(SIG_BLOCK, &set, &oldMask_);
    waitMask_ = oldMask_;
    for (int s : kStopSignals) {
        sigdelset(&waitMask_, s);
    }
    blocked_ = true;
}

TraceFileInfo SweepFileInfo(const SweepSnapshot& sweep, int fdefIndex) {
    TraceFileInfo info;
    info.Program = std::string("MYRL ") + MYRL_VERSION;
    info.Written = LocalTimeNow();
    info.Plan = sweep.Settings.ZeroSpan ? PlanDefinition::ZeroSpan
                : fdefIndex == 1        ? PlanDefinition::CentreSpan
                                        : PlanDefinition::StartStop;
    info.Frex = sweep.Settings.Frex;
    info.SweepTime = SweepTimeItemText(sweep.Settings.SweepTimeIdx);
    info.Mode = ModeText(sweep.Settings.Mode);
    info.Averaging = std::to_string(sweep.Settings.AvrNum);
    return info;
}

} // namespace myrl
