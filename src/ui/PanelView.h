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

    // As a user's hand (remote control): each sets its control as a click or typing does
    // and runs the control's handler, so the panel shows the new value; what the handler
    // throws reaches the caller.
    // Chooses the MODE item "THRU", "NORM" or "CAL"; its handler runs when it changes.
    virtual void ChooseMode(const std::string& item) = 0;
    // Chooses the SWEEP TIME item (0..16); its handler runs when it changes.
    virtual void ChooseSweepTime(int index) = 0;
    // Types the count into AVERAGING and confirms it.
    virtual void EnterAverage(int count) = 0;
    // Ticks or unticks SWR; its handler runs when the state changes.
    virtual void TickSwr(bool ticked) = 0;
    // Types `text` into the reference level field and presses Enter.
    virtual void EnterRefLevel(const std::string& text) = 0;
    // Chooses the frequency definition (F_DEF's handler runs when it changes), types the
    // fields given (an empty text leaves its field) and presses Enter.
    virtual void EnterPlan(int fdefIndex, const std::string& edit1, const std::string& edit2) = 0;
    // Chooses RUN or HOLD; the STATUS handler runs when it changes.
    virtual void ChooseRunning(bool run) = 0;

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
