// The running program: the measurement state and the two windows, created in order
// (control panel first, then the display window, whose creation starts the
// measurement). One instance; user-interface thread only.
#pragma once

#include "Draw.h"
#include "ExtraActions.h"
#include "FreqEntry.h"
#include "LinkState.h"
#include "MeasState.h"
#include "StatusBoard.h"
#include "SweepCycle.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace myrl {

class DisplayView;
class FolderLock;
class PanelView;
class TForm1;
class TForm2;
class ToolsWindow;
class Takeaways;

// What the command line asks of a run.
struct StartOptions {
    // The device to open in place of the one line 1 of the parameter file names; empty:
    // the folder's default chosen in the Port dialog, if any, else line 1's.
    std::string Port;
};

class Program : public FreqEntryView {
public:
    // Creates both windows, shows them and runs the display window's creation handler:
    // parameter file, port, presentation, frequency plan, blank charts, averaging, timer.
    // A failure there is reported and leaves the timer off.
    explicit Program(StartOptions options = {});
    ~Program() override;

    // True once the start sequence has run to its end. A run whose start-up failed never
    // sweeps: the plan or the port it would use was never set up.
    bool Started() const { return started_; }

    // The parameter file is left as it is at the close: it was not read whole (so the
    // values in force are not the file's), or another instance runs in this folder. `why`
    // is an English sentence for the start-up's error box and standard error.
    void LeaveParamFile(const std::string& why);
    bool ParamFileLeft() const { return !leaveParamFileWhy_.empty(); }
    // Locks the working folder for this run; another instance holding it makes this one
    // leave the parameter file alone.
    void LockFolder();

    MeasState State;
    // The two windows. Each reaches the other, and the start-up code reaches both, only
    // through their interfaces: Panel() and Display().
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    PanelView& Panel();
    DisplayView& Display();

    // The actions beyond the windows' own controls, on both windows' background menus and
    // shortcuts.
    ExtraActions Extras;
    // How things stand (link, curve, last file written); shown as the progress bar's tip.
    StatusBoard Status;
    // The tools window "MYRL Tools" (Ctrl+T), hidden until opened.
    std::unique_ptr<ToolsWindow> Tools;
    // Pictures and data files to take away, the RUN/HOLD and close keys, the help window.
    std::unique_ptr<Takeaways> Exports;
    // The link to the unit, fed by the port and the sweep cycle below; its lines go to
    // Status and, once per change of state, to standard error.
    LinkState Link;
    const StartOptions& Options() const { return options_; }

    // Opens the panel's port (closing it first) on the device it names now and tells Link;
    // throws what the open throws.
    void OpenPort();
    // Switches the port to `device` (a path, or a COMn link of the working folder) for the
    // rest of the run: closes it and opens the chosen one with the same settings. When a
    // sweep step is waiting on the line, the switch waits for its end. `done` runs after
    // the switch, with the error when the open failed (nullptr when it opened).
    void SwitchPort(const std::string& device,
                    std::function<void(const std::exception* error)> done = {});
    // The sweep cycle's news: a step ended with `result`, completing a reply or not; the
    // line was lost or an attempt to open it again failed; it was opened again.
    void SweepStepEnded(StepResult result, bool replyComplete);
    void LinkLost();
    void LinkReopened();

    // The redraw of Graph1 with its marker readouts. A redraw whose inputs and canvas are
    // unchanged since the last one would give the same picture and is skipped.
    void RedrawResponse();

    // The frequency entry's controls: fields on the control panel, labels and Graph1's
    // x range on the display window.
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
    void showLink();

    StartOptions options_;
    LinkKind shownKind_ = LinkKind::Closed;
    std::string shownCurve_;
    bool started_ = false;
    std::string leaveParamFileWhy_;
    std::unique_ptr<FolderLock> folderLock_;
    std::optional<RedrawKey> lastRedrawInputs_;
    uint64_t lastRedrawGeneration_ = 0;
};

// The parameter file: read with the defaults and start-up values, the port opened;
// written as a whole at the control panel's close, after the port is closed.
void LoadParams(Program& p);
void SaveParams(Program& p);

} // namespace myrl
