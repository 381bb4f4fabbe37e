#include "Instrument.h"

#include "CommX.h"
#include "Format.h"
#include "Presentation.h"
#include "TextFile.h"
#include "TraceFile.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <utility>

namespace myrl {

namespace {

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The cycle's view of the settings and its outputs: the settings come from the instrument,
// read where the step reads them (a handler running inside the step's read may have changed
// them); what a step shows goes to the caller's view.
class CycleAdapter : public CycleView {
public:
    CycleAdapter(const Instrument& instrument, StepView& out) : i_(instrument), out_(out) {}
    std::string ModeText() const override { return myrl::ModeText(i_.Settings().Mode); }
    bool SwrTicked() const override { return i_.Settings().Swr; }
    bool CepsTicked() const override { return i_.Settings().Ceps; }
    bool FrexTicked() const override { return i_.Settings().Frex; }
    void SetProgress(int32_t received) override { out_.SetProgress(received); }
    void SweepProcessed(const AvrStatus& status) override {
        Processed = status;
        out_.SetAvrStat(AvrStatusText(status));
    }
    void CepstrumStep() override { out_.CepstrumStep(); }

    std::optional<AvrStatus> Processed;

private:
    const Instrument& i_;
    StepView& out_;
};

} // namespace

void ConfigureUnitPort(TCommX& port) {
    port.SetBitRate(19200);
    port.SetFlowCtrl(cfcXonXoff);
    port.SetTimeOutReceive(300);
}

MeasState SweepSnapshot::AsState() const {
    MeasState s;
    s.StartFreq = Settings.StartFreq;
    s.StopFreq = Settings.StopFreq;
    s.ZeroSpan = Settings.ZeroSpan;
    s.SweepTimeIdx = Settings.SweepTimeIdx;
    s.AvrNum = Settings.AvrNum;
    s.RefLevel = Settings.RefLevel;
    s.AvrCount = Averaging.Count;
    s.PointNum = PointNum;
    s.SweepSteps = SweepSteps;
    s.FreqAxis = FreqAxis;
    s.RawLevel = RawLevel;
    s.NormLevel = NormLevel;
    s.SwrTrace = SwrTrace;
    s.CalFreq = CalFreq;
    s.CalLevel = CalLevel;
    s.CalZeroSpan = CalZeroSpan;
    return s;
}

std::optional<FilterReadout> SweepReadout(const SweepSnapshot& sweep, double downDb) {
    if (sweep.Settings.ZeroSpan) {
        return std::nullopt;
    }
    const int last = std::min(sweep.SweepSteps, kArrayLen - 1);
    if (last < 1) {
        return std::nullopt;
    }
    std::vector<double> level(static_cast<size_t>(last) + 1);
    for (size_t i = 0; i < level.size(); ++i) {
        level[i] = sweep.NormLevel[i] - sweep.Settings.RefLevel;
    }
    const std::span<const double> freq(sweep.FreqAxis.data(), level.size());
    const FilterReadout r = ReadFilter(freq, level, 0, last, downDb);
    if (!r.Valid) {
        return std::nullopt;
    }
    return r;
}

// ---------------------------------------------------------------------------------------
// Subscriptions

struct Instrument::Subscription::Entry {
    std::function<void(InstrumentEvent)> Listener;
    Instrument* Owner = nullptr; // null once unsubscribed or the instrument is gone
};

Instrument::Subscription::Subscription(Subscription&& other) noexcept
    : entry_(std::move(other.entry_)) {}

Instrument::Subscription& Instrument::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        Reset();
        entry_ = std::move(other.entry_);
    }
    return *this;
}

Instrument::Subscription::~Subscription() {
    Reset();
}

void Instrument::Subscription::Reset() {
    if (entry_ && entry_->Owner) {
        auto& list = entry_->Owner->listeners_;
        list.erase(std::remove(list.begin(), list.end(), entry_), list.end());
        entry_->Owner = nullptr;
    }
    entry_.reset();
}

Instrument::Subscription Instrument::Subscribe(std::function<void(InstrumentEvent)> listener) {
    auto entry = std::make_shared<Subscription::Entry>();
    entry->Listener = std::move(listener);
    entry->Owner = this;
    listeners_.push_back(entry);
    return Subscription(std::move(entry));
}

void Instrument::notify(InstrumentEvent e) {
    // A listener may unsubscribe itself or others meanwhile: those are skipped, never called
    // after their subscription ended.
    const auto listeners = listeners_;
    for (const auto& entry : listeners) {
        if (entry->Owner) {
            entry->Listener(e);
        }
    }
}

// ---------------------------------------------------------------------------------------

Instrument::Instrument(std::function<Clock::time_point()> now) : now_(std::move(now)) {
    status_.OnChange([this](const std::string&) { notify(InstrumentEvent::StatusChanged); });
}

Instrument::~Instrument() {
    for (const auto& entry : listeners_) {
        entry->Owner = nullptr;
    }
}

// ---------------------------------------------------------------------------------------
// The port

void Instrument::AttachPort(TCommX& port) {
    port_ = &port;
}

void Instrument::DetachPort() {
    port_ = nullptr;
    lineLost_ = false;
    pendingSwitch_.reset();
}

void Instrument::SetDevice(const std::string& device) {
    if (port_) {
        port_->SetDevice(device);
    }
}

void Instrument::OpenPort() {
    if (!port_) {
        throw std::logic_error("the instrument has no port");
    }
    port_->Close();
    const std::string name = port_->DevicePath();
    try {
        port_->Open();
    } catch (const ECommError& e) {
        link_.OpenFailed(name, CommErrorReason(e.Device, e.Errno), now_());
        linkChanged();
        throw;
    }
    opened();
}

void Instrument::ClosePort() {
    lineLost_ = false;
    if (port_) {
        port_->Close();
    }
}

void Instrument::opened() {
    const std::string name = port_->DevicePath();
    std::error_code ec;
    const auto device = std::filesystem::canonical(port_->OpenedPath(), ec);
    link_.Opened(name, ec ? port_->OpenedPath() : device.string(), now_());
    linkChanged();
}

void Instrument::linkChanged() {
    status_.Set(StatusTopic::Link, link_.LinkLine());
    status_.Set(StatusTopic::Curve, link_.CurveLine());
    notify(InstrumentEvent::LinkChanged);
}

void Instrument::SwitchPort(const std::string& device,
                            std::function<void(const std::exception* error)> done) {
    pendingSwitch_ = PendingSwitch{device, std::move(done)};
    if (!stepRunning_) {
        carryOutSwitch();
    }
}

void Instrument::carryOutSwitch() {
    PendingSwitch sw = std::move(*pendingSwitch_);
    pendingSwitch_.reset();
    lineLost_ = false;
    SetDevice(sw.Device);
    // Whatever the old line had begun is given up; the next step starts a new sweep.
    AbandonSweep(state_);
    try {
        OpenPort();
    } catch (const std::exception& e) {
        if (sw.Done) {
            sw.Done(&e);
        }
        return;
    }
    if (sw.Done) {
        sw.Done(nullptr);
    }
}

void Instrument::recoverLine() {
    if (port_->Active()) {
        // Open, yet the read failed: the other end hung up. The old device is gone; the
        // line comes back, if at all, as a device under the same name.
        lineLost_ = true;
        lostPath_ = port_->OpenedPath();
        port_->Close();
        lastReopen_.reset();
        link_.LineLost(now_());
        linkChanged();
    }
    // Only the name that was lost is tried again: with COM<n> gone, the port number alone
    // would name another port (/dev/ttyS<n-1>).
    const auto now = now_();
    if (!lineLost_ || (lastReopen_ && now - *lastReopen_ < std::chrono::seconds(1)) ||
        port_->DevicePath() != lostPath_) {
        return;
    }
    lastReopen_ = now;
    try {
        port_->Open();
        lineLost_ = false;
        opened();
    } catch (const ECommError&) {
        // Not back yet: the next attempt follows in a second.
        link_.LineLost(now_());
        linkChanged();
    }
}

// ---------------------------------------------------------------------------------------
// Settings

SweepSettings Instrument::Settings() const {
    SweepSettings v;
    v.StartFreq = state_.StartFreq;
    v.StopFreq = state_.StopFreq;
    v.ZeroSpan = state_.ZeroSpan;
    v.Frex = frex_;
    v.SweepTimeIdx = static_cast<int>(state_.SweepTimeIdx);
    v.AvrNum = state_.AvrNum;
    v.Mode = mode_;
    v.Swr = swr_;
    v.Ceps = ceps_;
    v.RefLevel = state_.RefLevel;
    return v;
}

void Instrument::Apply(const SweepSettings& next) {
    if (next.AvrNum < 1 || next.AvrNum > kRingDepth) {
        throw std::invalid_argument("averaging count " + std::to_string(next.AvrNum) +
                                    " is not from 1 to " + std::to_string(kRingDepth));
    }
    if (next.SweepTimeIdx < 0 || next.SweepTimeIdx > kLastSweepTimeItem) {
        throw std::invalid_argument("sweep-time item " + std::to_string(next.SweepTimeIdx) +
                                    " is not from 0 to " + std::to_string(kLastSweepTimeItem));
    }
    const SweepSettings before = Settings();
    if (before == next) {
        return;
    }
    state_.StartFreq = next.StartFreq;
    state_.StopFreq = next.StopFreq;
    state_.ZeroSpan = next.ZeroSpan;
    frex_ = next.Frex;
    state_.SweepTimeIdx = next.SweepTimeIdx;
    state_.AvrNum = next.AvrNum;
    mode_ = next.Mode;
    swr_ = next.Swr;
    ceps_ = next.Ceps;
    state_.RefLevel = next.RefLevel;
    if (RestartsAverage(before, next)) {
        AvrReset(state_);
    }
    FillDispTrace(state_, swr_);
    settingsChanged();
}

void Instrument::SetFrex(bool on) {
    frex_ = on;
    AvrReset(state_);
    settingsChanged();
}

void Instrument::SetMode(MeasMode mode) {
    mode_ = mode;
    AvrReset(state_);
    settingsChanged();
}

void Instrument::SetSweepTime(int item) {
    AvrReset(state_);
    state_.SweepTimeIdx = item;
    settingsChanged();
}

void Instrument::SetAverage(int count) {
    if (count < 1 || count > kRingDepth) {
        throw std::invalid_argument("averaging count " + std::to_string(count) +
                                    " is not from 1 to " + std::to_string(kRingDepth));
    }
    state_.AvrNum = count;
    AvrReset(state_);
    settingsChanged();
}

void Instrument::SetSwr(bool on) {
    swr_ = on;
    settingsChanged();
}

void Instrument::SetCeps(bool on) {
    ceps_ = on;
    settingsChanged();
}

void Instrument::SetRefLevel(double db) {
    state_.RefLevel = db;
    settingsChanged();
}

void Instrument::ChangePlan(const std::function<void(MeasState&)>& entry) {
    entry(state_);
    settingsChanged();
}

void Instrument::RestartAverage() {
    AvrReset(state_);
    settingsChanged();
}

void Instrument::StartSingle() {
    single_ = true;
    RestartAverage();
}

void Instrument::SetRunning(bool run) {
    if (run != running_) {
        running_ = run;
        notify(InstrumentEvent::RunChanged);
    }
}

bool Instrument::AverageSettled() const {
    return last_ && last_->Settled && lastResets_ == state_.AvrResets;
}

void Instrument::settingsChanged() {
    notify(InstrumentEvent::SettingsChanged);
}

// ---------------------------------------------------------------------------------------
// The cycle

StepResult Instrument::Step(StepView& view) {
    if (!port_) {
        throw std::logic_error("the instrument has no port");
    }
    stepRunning_ = true;
    StepResult result = StepResult::Ok;
    std::optional<AvrStatus> processed;
    try {
        if (state_.SweepStart) {
            sweepResets_ = state_.AvrResets; // the command about to go out
        }
        CycleAdapter cycle(*this, view);
        result = SweepStep(state_, *port_, cycle);
        processed = cycle.Processed;
    } catch (...) {
        stepRunning_ = false;
        if (pendingSwitch_) {
            carryOutSwitch();
        }
        throw;
    }
    stepRunning_ = false;

    // The line may hold our output (an XOFF without XON) while noise keeps arriving.
    const bool held = port_ && link_.OutputHeld(port_->OutputHeld(), now_());
    if (result == StepResult::Silent) {
        link_.NoReply(now_());
        linkChanged();
    } else if (processed) {
        link_.Reply(now_());
        linkChanged();
    } else if (held) {
        linkChanged();
    }
    if (result == StepResult::ReadFailed && port_) {
        recoverLine();
    }
    if (processed) {
        completed(*processed);
    }
    if (pendingSwitch_) {
        carryOutSwitch();
    }
    return result;
}

void Instrument::completed(const AvrStatus& status) {
    auto snap = std::make_shared<SweepSnapshot>();
    snap->Number = ++sweeps_;
    snap->Time = std::chrono::system_clock::now();
    snap->Settings = Settings();
    snap->Averaging = status;
    snap->BeganUnderSettings = sweepResets_ == state_.AvrResets;
    // After a restart only the sweep under way at that moment began under the old settings,
    // and it is processed first: with an average over two or more sweeps the second sweep
    // overwrites it (the first sweep after a restart is shown alone), so once the count is
    // reached every sweep in the average began under the settings in force.
    snap->Settled = status.Count == status.Num && (status.Num >= 2 || snap->BeganUnderSettings);
    snap->PointNum = state_.PointNum;
    snap->SweepSteps = state_.SweepSteps;
    snap->FreqAxis = state_.FreqAxis;
    snap->RawLevel = state_.RawLevel;
    snap->NormLevel = state_.NormLevel;
    snap->SwrTrace = state_.SwrTrace;
    snap->CalFreq = state_.CalFreq;
    snap->CalLevel = state_.CalLevel;
    snap->CalZeroSpan = state_.CalZeroSpan;
    const bool settledNow = snap->Settled && settledResets_ != state_.AvrResets;
    last_ = std::move(snap);
    lastResets_ = state_.AvrResets;
    if (mode_ == MeasMode::Cal && cal_) {
        status_.Set(StatusTopic::Calibration, CalibrationLine());
    }
    notify(InstrumentEvent::SweepCompleted);
    if (settledNow) {
        settledResets_ = state_.AvrResets;
        notify(InstrumentEvent::AverageSettled);
    }
    if (single_ && settledNow) {
        single_ = false;
        notify(InstrumentEvent::SingleDone);
    }
}

// ---------------------------------------------------------------------------------------
// Calibration

bool Instrument::HasCalibration() const {
    return CalibrationTaken(state_);
}

void Instrument::LoadCalibration(const std::string& path) {
    CalRecord r = ReadCalFile(path);
    state_.CalFreq = r.CalFreq;
    state_.CalLevel = r.CalLevel;
    state_.CalZeroSpan = r.ZeroSpan;
    cal_ = std::move(r);
    calName_ = fileName(path);
    calPath_ = path;
    status_.Set(StatusTopic::Calibration, CalibrationLine());
    notify(InstrumentEvent::CalibrationChanged);
}

void Instrument::SaveCalibration(const std::string& path, const std::string& note,
                                 const std::string& taken) {
    if (!HasCalibration()) {
        throw std::logic_error("no calibration to save");
    }
    CalRecord r = CalRecordFrom(state_, frex_, taken, note);
    WriteCalFile(path, r);
    cal_ = std::move(r);
    calName_ = fileName(path);
    calPath_ = path;
    status_.Set(StatusTopic::Calibration, CalibrationLine());
    notify(InstrumentEvent::CalibrationChanged);
}

std::string Instrument::CalibrationLine() const {
    if (!HasCalibration()) {
        return "no calibration: NORM shows the raw response";
    }
    const auto range = [](const CalRecord& r) {
        return r.ZeroSpan ? std::string("in zero span") : "over " + CoverageText(r);
    };
    if (fromFile()) {
        return "NORM uses: " + described(calName_) + " " + range(*cal_);
    }
    return "NORM uses: the CAL sweep of this run (not saved), " +
           range(CalRecordFrom(state_, false, "", ""));
}

std::string Instrument::CalibrationSource() const {
    return HasCalibration() && fromFile() ? described(calPath_) : std::string();
}

bool Instrument::fromFile() const {
    return cal_ && cal_->CalFreq == state_.CalFreq && cal_->CalLevel == state_.CalLevel;
}

std::string Instrument::described(const std::string& file) const {
    std::string what = file;
    if (!cal_->Note.empty()) {
        what += " (" + cal_->Note + ")";
    }
    return what + ", taken " + cal_->Taken;
}

std::string Instrument::CoverageLine() const {
    const MeasState& s = state_;
    if (s.ZeroSpan || s.PointNum < 2 || !HasCalibration()) {
        return "";
    }
    const CalRecord r = CalRecordFrom(s, false, "", "");
    std::string line =
        CoverageWarning(r, s.FreqAxis[0], s.FreqAxis[static_cast<size_t>(s.PointNum - 1)]);
    if (cal_ && cal_->CalFreq == s.CalFreq && cal_->LevelOffset != s.LevelOffset) {
        auto db = [this](double v) { return FormatFixed(v, 0, 2, decimalSep_) + " dB"; };
        line += std::string(line.empty() ? "" : "; ") + "taken with a level offset of " +
                db(cal_->LevelOffset) + ", now " + db(s.LevelOffset);
    }
    return line;
}

// ---------------------------------------------------------------------------------------
// Memory

void Instrument::StoreTrace(const std::string& label) {
    SetMemory(state_, CurrentTrace(state_));
    memName_ = label;
    SetMemoryMode(state_.MemMode == kMemOff ? kMemShown : state_.MemMode);
}

void Instrument::LoadMemory(const std::string& path) {
    const StoredTrace t = ReadMemoryFile(path, state_.RefLevel);
    SetMemory(state_, t);
    memName_ = fileName(path);
    SetMemoryMode(state_.MemMode == kMemOff ? kMemShown : state_.MemMode);
}

void Instrument::SetMemoryMode(int mode) {
    if (mode != kMemOff && state_.MemPoints < 2) {
        mode = kMemOff; // nothing stored yet
    }
    state_.MemMode = mode;
    state_.MemClr = kMemoryColour;
    FillDispTrace(state_, swr_);
    notify(InstrumentEvent::MemoryChanged);
}

std::string Instrument::MemoryLine() const {
    if (state_.MemPoints < 2) {
        return "no memory";
    }
    return "memory: " + memName_ + ", " + std::to_string(state_.MemPoints) + " points";
}

// ---------------------------------------------------------------------------------------
// Readouts, markers, views

std::optional<FilterReadout> Instrument::Readout(bool betweenMarkers, double downDb) const {
    const MeasState& s = state_;
    if (s.ZeroSpan || s.PointNum < 2) {
        return std::nullopt;
    }
    const auto n = static_cast<size_t>(std::min(s.PointNum, kArrayLen));
    std::vector<double> level(n);
    for (size_t i = 0; i < n; ++i) {
        level[i] = s.NormLevel[i] - s.RefLevel;
    }
    const std::span<const double> freq(s.FreqAxis.data(), n);
    int first = 0;
    int last = static_cast<int>(n) - 1;
    if (betweenMarkers) {
        const auto r = PointsBetween(freq, s.MarkerFL, s.MarkerFU);
        if (!r) {
            return std::nullopt;
        }
        std::tie(first, last) = *r;
    }
    const FilterReadout r = ReadFilter(freq, level, first, last, downDb);
    if (!r.Valid) {
        return std::nullopt;
    }
    return r;
}

void Instrument::SetMarker(int marker, int32_t column) {
    (marker == 1 ? state_.Marker1X : state_.Marker2X) = column;
    notify(InstrumentEvent::ViewChanged);
}

void Instrument::ViewChanged() {
    notify(InstrumentEvent::ViewChanged);
}

} // namespace myrl
