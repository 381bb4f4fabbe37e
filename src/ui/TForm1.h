// The control panel, the program's main window: display settings, frequency plan,
// utilities and run/hold. A view and the controls of the instrument core: its handlers tell
// the core what the controls ask for. Owns the sweep timer Timer1, whose steps are the
// core's, and the serial port CommX1, which it lends to the core. User-interface thread only.
#pragma once

#include "FreqEntryControls.h"
#include "Instrument.h"
#include "PanelView.h"
#include "Widgets.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace myrl {

class DisplayView;
class StartSequence;
class TCommX;
class UpDown;

class TForm1 : public QWidget, public PanelView, public StepView {
    Q_OBJECT

public:
    // Lends CommX1 to `core` for the panel's whole life.
    TForm1(Instrument& core, StartSequence& start);
    ~TForm1() override;
    // The display window, made after the panel; set before the first handler runs.
    void SetDisplay(DisplayView& display);

    // Wires the port's line events (OnReceive, OnBreak, OnError) to this thread's event
    // loop; call it before assigning any of them.
    void SetLineEventDispatch();

    // Handlers.
    void Timer1Timer();
    void SweepTimeChange();
    void RefposChange();
    void Edit1KeyPress();
    void F_DEFChange();
    void Button7Click();
    void RadioGroup1Click();
    void PlanButtonClick(int button);
    void CEPSClick();
    void AvrSetChange();
    void FREXClick();
    void MODEChange();
    void UpDown1Click(bool up);
    void ReflvlKeyPress();

    // PanelView and StepView.
    std::string ModeText() const override;
    bool SwrTicked() const override;
    bool CepsTicked() const override;
    bool FrexTicked() const override;
    int RefposIndex() const override;
    std::string ReflvlText() const override;
    int SweepTimeIndex() const override;
    std::string AvrSetText() const override;
    bool Running() const override;
    std::string SweepTimeText() const override;
    void ToggleRunHold() override;
    int FDefIndex() const override;
    std::string FDefText() const override;
    std::string Edit1Text() const override;
    std::string Edit2Text() const override;
    void SelectFDef(int index) override;
    void SetEdit1Text(const std::string& text) override;
    void SetEdit2Text(const std::string& text) override;
    void SetFieldCaptions(const std::string& first, const std::string& second) override;
    void SetSecondFieldVisible(bool visible) override;
    void SetFrex(bool ticked) override;
    void EnterPlan(int fdef, const std::string& edit1, const std::string& edit2) override;
    void ChooseMode(const std::string& modeText) override;
    void ChooseSweepTime(int item) override;
    void ChooseAverage(int count) override;
    void SetSwrTicked(bool ticked) override;
    void ChooseRefpos(int item) override;
    void EnterRefLevel(double db) override;
    void ChooseRunning(bool run) override;
    void StartSingle() override;
    void StartSweepTimer() override;
    bool SweepTimerActive() const override;
    void SetStatusTip(const std::string& text) override;
    void SetProgress(int32_t received) override;
    void SetAvrStat(const std::string& text) override;
    void CepstrumStep() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void connectHandlers();
    void showReferenceLevel();
    // Places the display window's Ref label by the selected reference position.
    void placeRefLabel();

    // Controls, each with its caption or items; reached by nobody outside this window
    // (tests find them by object name, which is the control's name).
    QGroupBox* Display;     // "DISPLAY"
    QGroupBox* GroupBox1;   // "FREQUENCY"
    QGroupBox* GroupBox2;   // "UTILITIES"
    QGroupBox* RadioGroup1; // "STATUS"
    QComboBox* MODE;        // "THRU", "NORM", "CAL"
    QComboBox* Refpos;      // "0" … "9"
    TextField* Reflvl;      // reference level, "   0.0"
    UpDown* UpDown1;        // steps the reference level by 0.1 dB
    QComboBox* AvrSet;      // "1" … "64", typed counts too
    QComboBox* SweepTime;   // "<0.5", "0.5s" … "20s"
    QFrame* Panel2;         // white frame of the progress bar
    ProgressBar* ProgressBar1;
    QComboBox* F_DEF;       // "START/STOP", "CENTER/SPAN", "ZERO SPAN"
    QLabel* Label6;         // "START", "CENTER" or "FREQUENCY"
    QLabel* Label7;         // "STOP", "SPAN" or empty
    QLabel* Label9;         // "Hz" beside Edit2
    TextField* Edit1;       // first frequency; at most 11 characters typed
    TextField* Edit2;       // second frequency
    QPushButton* Button1;   // "<"
    QPushButton* Button2;   // "-"
    QPushButton* Button3;   // "+"
    QPushButton* Button4;   // ">"
    QPushButton* Button5;   // "FL=C"
    QPushButton* Button6;   // "FU=C"
    QPushButton* Button7;   // "SAVE DATA"
    QCheckBox* FREX;        // "FREX"
    QCheckBox* SWR;         // "SWR"
    QCheckBox* CEPS;        // "CEPSTRUM"
    QRadioButton* RunItem;  // "RUN"
    QRadioButton* HoldItem; // "HOLD"
    QTimer* Timer1;         // the sweep cycle's 50 ms timer
    std::unique_ptr<TCommX> CommX1;

    Instrument& core_;
    StartSequence& start_;
    DisplayView* display_ = nullptr;
    std::unique_ptr<FreqEntryControls> entry_;
    QString lastAvrText_;
    Instrument::Subscription singleDone_;
};

} // namespace myrl
