// The instrument core: everything that makes MYRL measure, without a window. It owns the
// measurement state, keeps the port (open, switch, recovery after a line loss, the link's
// state), holds the sweep settings as one value, runs the sweep cycle one step at a time,
// keeps a copy of the last complete sweep for its readers, applies calibrations and trace
// memories, and tells its subscribers what happened. The two windows are its views and
// controls; `myrl measure` drives it with no window at all.
//
// Threading: one thread, the one that runs the steps (the user-interface thread in the
// program). A step waits in the port's Read and lets pending events run meanwhile, so any
// member may be called from inside a step: settings changed then take effect where the step
// takes them (the command of the next sweep, and the processing of the sweep being received
// once its read has returned); a port switch asked for then is carried out when the step
// has ended.
#pragma once

#include "CalFile.h"
#include "FilterReadout.h"
#include "LinkState.h"
#include "MeasState.h"
#include "StatusBoard.h"
#include "SweepCycle.h"
#include "SweepProc.h"
#include "SweepSettings.h"
#include "TraceMemory.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace myrl {

class TCommX;

// What the instrument tells its subscribers, on its own thread, after the fact.
enum class InstrumentEvent {
    SweepCompleted,     // a reply was processed: LastSweep() holds it
    AverageSettled,     // the sweep just completed is the first settled one since the
                        // average last restarted (LastSweep()->Settled)
    LinkChanged,        // Link() changed (opened, replying, silent, lost, not open)
    SettingsChanged,    // Settings() changed, or the average restarted
    CalibrationChanged, // the CAL tables were loaded, saved or taken
    MemoryChanged,      // the trace memory or its mode changed
    ViewChanged,        // what the charts show moved: markers, level scale, pointer
    StatusChanged,      // Status().Text() changed
    SingleDone,         // the single acquisition asked for has settled (after
                        // AverageSettled of that sweep)
    RunChanged,         // Running() changed: RUN or HOLD was chosen
};

// The last complete sweep, copied when it was processed: readers keep it as long as they
// like while the next sweep fills the state's arrays.
struct SweepSnapshot {
    uint64_t Number = 0; // completed sweeps since the instrument was made, this one included
    std::chrono::system_clock::time_point Time;
    SweepSettings Settings;          // in force when it was processed
    AvrStatus Averaging;             // the count it was averaged with, of AvrNum
    bool BeganUnderSettings = false; // its command went out after the average last restarted
    // The average over AvrNum sweeps, every one of them measured under the settings in force.
    bool Settled = false;
    int32_t PointNum = 0;
    int32_t SweepSteps = 0;
    PointArray FreqAxis{};
    PointArray RawLevel{};
    PointArray NormLevel{};
    PointArray SwrTrace{};
    PointArray CalFreq{};
    PointArray CalLevel{};
    bool CalZeroSpan = false;

    // A measurement state holding this sweep (for the writers of trace files), the rest zero.
    MeasState AsState() const;
};

// The filter and peak readout of a sweep over the points its files hold (0 .. SweepSteps),
// of the level relative to its reference level as Save data as writes it; nothing in zero
// span or with fewer than two points.
std::optional<FilterReadout> SweepReadout(const SweepSnapshot& sweep, double downDb);

// What a step shows on its way: the received count, the averaging status of a processed
// sweep, the delay view of it. The program's panel and display show them; a run without
// windows may ignore them.
class StepView {
public:
    virtual ~StepView() = default;
    virtual void SetProgress(int32_t received) = 0;
    virtual void SetAvrStat(const std::string& text) = 0;
    virtual void CepstrumStep() = 0;
};

// Sets the unit's line on `port`: 19200 bit/s, XON/XOFF flow control, a receive time-out of
// 300 ms (the rest as the component's defaults: 8 data bits, no parity, one stop bit).
void ConfigureUnitPort(TCommX& port);

class Instrument {
public:
    using Clock = LinkState::Clock;

    // `now` gives the time of link events and of the once-a-second line recovery.
    explicit Instrument(std::function<Clock::time_point()> now = [] { return Clock::now(); });
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // ---- The measurement state (the program's one instance).
    MeasState& State() { return state_; }
    const MeasState& State() const { return state_; }

    // ---- The port. The component is lent by its owner (the control panel's CommX1) for as
    // long as it lives; the instrument opens, switches and recovers it.
    void AttachPort(TCommX& port);
    void DetachPort();
    TCommX* Port() { return port_; }
    // The device the next open opens (a path, or a COMn link of the working folder); empty:
    // the port number's.
    void SetDevice(const std::string& device);
    // Opens the port (closing it first) on the device it names now; throws ECommError, and
    // the link then says why.
    void OpenPort();
    // Closes the port for good: no recovery follows.
    void ClosePort();
    // Switches to `device` for the rest of the run: closes the port and opens the chosen one
    // with the same settings; the sweep under way is given up. Carried out at once, or at
    // the end of the step under way. `done` runs after the switch, with the error when the
    // open failed (nullptr when it opened).
    void SwitchPort(const std::string& device,
                    std::function<void(const std::exception* error)> done = {});
    const LinkState& Link() const { return link_; }
    // The line was lost while open and is being opened again once a second.
    bool LineLost() const { return lineLost_; }

    // ---- The sweep settings.
    SweepSettings Settings() const;
    // The whole value at once: the average restarts when RestartsAverage says so.
    void Apply(const SweepSettings& next);
    // What each control's handler does to the measurement. Those of FREX, the mode, the
    // sweep time and the averaging count restart the average whatever the value was (as a
    // click on the control does); the view, the delay view and the reference level do not.
    void SetFrex(bool on);
    void SetMode(MeasMode mode);
    void SetSweepTime(int item);
    // `count` must lie in 1..kRingDepth (std::invalid_argument otherwise).
    void SetAverage(int count);
    void SetSwr(bool on);
    void SetCeps(bool on);
    void SetRefLevel(double db);
    // Runs a frequency-entry operation (which sets StartFreq, StopFreq and ZeroSpan and
    // restarts the average) on the state, then tells the subscribers.
    void ChangePlan(const std::function<void(MeasState&)>& entry);
    void RestartAverage();

    // ---- Single acquisition: restarts the average; the first sweep that settles it ends
    // the acquisition with SingleDone (whoever runs the steps stops there: the panel selects
    // HOLD). Cancelled by CancelSingle, or by a new StartSingle.
    void StartSingle();
    void CancelSingle() { single_ = false; }
    bool SingleRunning() const { return single_; }

    // ---- RUN or HOLD, as whoever runs the steps chose it (the panel's STATUS; a run without
    // windows keeps it here alone). RunChanged when it changes.
    void SetRunning(bool run);
    bool Running() const { return running_; }
    // The last complete sweep is settled and the average has not restarted since: the
    // averaged trace of the settings in force exists.
    bool AverageSettled() const;

    // ---- The sweep cycle.
    // One step (start of sweep, reception, processing of a complete reply), with the line
    // recovery after a failed read and the notifications. What it throws ends the step.
    StepResult Step(StepView& view);
    bool StepRunning() const { return stepRunning_; }

    // ---- The last complete sweep; null before the first.
    std::shared_ptr<const SweepSnapshot> LastSweep() const { return last_; }

    // ---- Calibration (the CAL tables NORM subtracts).
    // A CAL sweep was taken or a calibration loaded: some table entry is not zero.
    bool HasCalibration() const;
    // Reads a calibration file into the tables. Throws ECalFileError or EInOutError and
    // changes nothing then.
    void LoadCalibration(const std::string& path);
    // Writes the tables with the plan and settings in force; `taken` is the time to record.
    // Throws (the file is then unchanged); std::logic_error without a calibration.
    void SaveCalibration(const std::string& path, const std::string& note,
                         const std::string& taken);
    // "NORM uses: …" or "no calibration: …", and the warning on how far it covers the plan
    // (empty when it does). Also kept as the status board's calibration line once a file was
    // loaded or saved.
    std::string CalibrationLine() const;
    std::string CoverageLine() const;
    // The calibration file whose tables NORM uses now, for the headers of saved files:
    // "<path> (<note>), taken <time>"; empty when the tables are a CAL sweep of this run
    // that was not saved, or there are none.
    std::string CalibrationSource() const;
    // The decimal separator of the levels in those lines (the locale's, in the windows).
    void SetDecimalSeparator(char sep) { decimalSep_ = sep; }

    // ---- The trace memory.
    // The current trace, named `label` ("the trace of 12:00:00").
    void StoreTrace(const std::string& label);
    // A trace file (the data export, or a CSV saved with its header) as the memory, read by
    // ReadMemoryFile (TraceMemory.h). Throws EInOutError (a file that cannot be read: the
    // reason in its detail, FileErrorReason) or EMemoryFileError with an English sentence
    // naming the file; changes nothing then.
    void LoadMemory(const std::string& path);
    // kMemOff, kMemShown or kMemSubtracted (off while nothing is stored); refills DispTrace.
    void SetMemoryMode(int mode);
    // "no memory", or "memory: <name>, <n> points".
    std::string MemoryLine() const;

    // ---- Readouts.
    // The filter and peak readout of the trace (levels relative to the reference level),
    // over its points or the points between the markers; nothing in zero span or with fewer
    // than two points.
    std::optional<FilterReadout> Readout(bool betweenMarkers, double downDb) const;

    // ---- Markers and views: moved by the display (a drag, a marker action).
    void SetMarker(int marker, int32_t column);
    // Tells the subscribers that what the charts show has moved (ViewChanged).
    void ViewChanged();

    // ---- How things stand, in lines: the link, the curve's age, the last file, the
    // calibration.
    StatusBoard& Status() { return status_; }
    const StatusBoard& Status() const { return status_; }

    // ---- Notifications. A subscription lasts as long as the object returned; listeners
    // may subscribe and unsubscribe from inside a notification.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription();
        void Reset();

    private:
        friend class Instrument;
        struct Entry;
        explicit Subscription(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
        std::shared_ptr<Entry> entry_;
    };
    [[nodiscard]] Subscription Subscribe(std::function<void(InstrumentEvent)> listener);

private:
    void notify(InstrumentEvent e);
    void linkChanged();
    void opened();
    void recoverLine();
    void carryOutSwitch();
    void completed(const AvrStatus& status);
    void settingsChanged();
    // The CAL tables are those of the file last loaded or saved.
    bool fromFile() const;
    // That file as the lines name it: "<file> (<note>), taken <time>".
    std::string described(const std::string& file) const;

    std::function<Clock::time_point()> now_;
    MeasState state_;
    bool frex_ = true;
    MeasMode mode_ = MeasMode::Thru;
    bool swr_ = false;
    bool ceps_ = false;

    TCommX* port_ = nullptr;
    LinkState link_;
    bool lineLost_ = false;
    std::string lostPath_;
    std::optional<Clock::time_point> lastReopen_;
    struct PendingSwitch {
        std::string Device;
        std::function<void(const std::exception*)> Done;
    };
    std::optional<PendingSwitch> pendingSwitch_;

    bool stepRunning_ = false;
    uint64_t sweepResets_ = 0; // state_.AvrResets when the sweep under way was commanded
    uint64_t settledResets_ = ~uint64_t{0}; // the restart whose settling was announced
    uint64_t sweeps_ = 0;
    std::shared_ptr<const SweepSnapshot> last_;
    uint64_t lastResets_ = 0; // state_.AvrResets when last_ was taken
    bool single_ = false;
    bool running_ = true;

    std::optional<CalRecord> cal_; // the calibration last loaded or saved
    std::string calName_;          // its file's name
    std::string calPath_;          // and path
    std::string memName_;
    char decimalSep_ = '.';

    StatusBoard status_;
    std::vector<std::shared_ptr<Subscription::Entry>> listeners_;
};

} // namespace myrl
