// What the display window, the start-up code and any later window may ask of the control
// panel: its settings as the controls show them, the frequency fields and the sweep timer.
// Nobody outside the panel reaches its controls; the port it owns is lent to the instrument
// core, which alone opens, switches and recovers it. User-interface thread only.
#pragma once

#include <string>

namespace myrl {

class PanelView {
public:
    // Settings.
    virtual std::string ModeText() const = 0;   // MODE
    virtual bool SwrTicked() const = 0;         // SWR
    virtual bool CepsTicked() const = 0;        // CEPSTRUM
    virtual bool FrexTicked() const = 0;        // FREX
    virtual int RefposIndex() const = 0;        // REF. position item, 0..9
    virtual std::string ReflvlText() const = 0; // the reference level field
    virtual int SweepTimeIndex() const = 0;     // SWEEP TIME item, 0..16
    virtual std::string AvrSetText() const = 0; // the AVERAGING text
    virtual bool Running() const = 0;           // STATUS is RUN

    // The SWEEP TIME item as it reads, "<0.5" … "20s".
    virtual std::string SweepTimeText() const = 0;
    // Selects the STATUS item that is not selected, as a click on it does.
    virtual void ToggleRunHold() = 0;

    // The frequency definition and its two fields.
    virtual int FDefIndex() const = 0;
    virtual std::string FDefText() const = 0;
    virtual std::string Edit1Text() const = 0;
    virtual std::string Edit2Text() const = 0;
    // Chosen by the program: F_DEF's change handler does not run.
    virtual void SelectFDef(int index) = 0;
    virtual void SetEdit1Text(const std::string& text) = 0;
    virtual void SetEdit2Text(const std::string& text) = 0;
    virtual void SetFieldCaptions(const std::string& first, const std::string& second) = 0;
    virtual void SetSecondFieldVisible(bool visible) = 0;
    // Ticks or unticks FREX; its click handler runs when the state changes.
    virtual void SetFrex(bool ticked) = 0;

    // What a user does with a control, for a set-up recalled, a plan switched to or a remote
    // client's command: the item chosen, the box ticked or the field typed, and the control's
    // handler run as a user's action runs it (an item already chosen or a box already in that
    // state changes nothing). Handlers may throw as they do for a user (EConvertError).
    // F_DEF item `fdef` chosen, then the fields typed (the second one only when shown) and
    // Enter pressed.
    virtual void EnterPlan(int fdef, const std::string& edit1, const std::string& edit2) = 0;
    virtual void ChooseMode(const std::string& modeText) = 0; // an item of MODE
    virtual void ChooseSweepTime(int item) = 0;               // 0..16
    virtual void ChooseAverage(int count) = 0;                // 1..64, typed and confirmed
    virtual void SetSwrTicked(bool ticked) = 0;               // SWR
    virtual void EnterRefLevel(double db) = 0;                // typed, Enter pressed
    virtual void ChooseRunning(bool run) = 0;                 // the STATUS item RUN or HOLD

    // A single acquisition: the instrument restarts the average, the panel runs (RUN) until
    // the average has settled and then selects HOLD.
    virtual void StartSingle() = 0;

    // The sweep timer Timer1: switched on here, off by each step of the cycle.
    virtual void StartSweepTimer() = 0;
    virtual bool SweepTimerActive() const = 0;

    // The program's status lines (the link, the curve, the last file written) as the tool
    // tip of the progress bar; it changes no pixel of the panel.
    virtual void SetStatusTip(const std::string& text) = 0;

protected:
    ~PanelView() = default;
};

} // namespace myrl
