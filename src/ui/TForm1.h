// The control panel, the program's main window: display settings, frequency plan,
// utilities and run/hold. Owns the sweep timer Timer1 and the serial port CommX1.
// User-interface thread only.
#pragma once

#include "SweepCycle.h"
#include "Widgets.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace myrl {

class Program;
class TCommX;
class UpDown;

class TForm1 : public QWidget, public CycleView {
    Q_OBJECT

public:
    explicit TForm1(Program& program);
    ~TForm1() override;

    // Controls, reached by name from the rest of the program.
    QGroupBox* Display;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QGroupBox* RadioGroup1;
    QComboBox* MODE;
    QComboBox* Refpos;
    TextField* Reflvl;
    UpDown* UpDown1;
    QComboBox* AvrSet;
    QComboBox* SweepTime;
    QFrame* Panel2;
    QProgressBar* ProgressBar1;
    QComboBox* F_DEF;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label9;
    TextField* Edit1; // at most 11 characters typed
    TextField* Edit2;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;
    QPushButton* Button7;
    QCheckBox* FREX;
    QCheckBox* SWR;
    QCheckBox* CEPS;
    QRadioButton* RunItem;
    QRadioButton* HoldItem;
    QTimer* Timer1;
    std::unique_ptr<TCommX> CommX1;

    // Wires CommX1's line events (OnReceive, OnBreak, OnError) to this thread's event
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

    // The line was lost (hang-up, unplugged adapter) while the port was open: the cycle
    // closes the port and opens it again by name, at most once a second, until it opens.
    // SaveParams ends this for good.
    void StopLineRecovery() { lineLost_ = false; }
    bool LineLost() const { return lineLost_; }

    // Places the display window's Ref label by the selected reference position.
    void PlaceRefLabel();
    // Item 0 of STATUS ("RUN") is selected.
    bool Running() const;

    // CycleView.
    std::string ModeText() const override;
    bool SwrTicked() const override;
    bool CepsTicked() const override;
    bool FrexTicked() const override;
    void SetProgress(int32_t received) override;
    void SetAvrStat(const std::string& text) override;
    void CepstrumStep() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void connectHandlers();
    void showReferenceLevel();

    void recoverLine();

    Program& program_;
    QString lastAvrText_;
    bool inStep_ = false; // a step of the sweep cycle is running (steps never nest)
    bool lineLost_ = false;
    std::string lostPath_;
    QElapsedTimer lastReopen_;
};

} // namespace myrl
