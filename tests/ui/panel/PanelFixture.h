// The program on a known plan (CENTER/SPAN 10.7 MHz / 100 kHz, FREX off), swept once by
// the simulator and then held, so that every picture a test looks at comes from its own
// actions. Helpers act as a user would: mouse clicks, typed keys, chosen items.
#pragma once

#include "ProgramFixture.h"

#include "GraphPlot.h"
#include "TGraph.h"

#include <QString>

class QComboBox;
class QLineEdit;
class QWidget;

namespace myrl {

class PanelTest : public ProgramTest {
protected:
    // Writes the parameter file, starts simulator and program, waits for the first
    // processed sweep and selects HOLD; returns when the cycle has stopped.
    void StartHeld();
    // The parameter file with the plan: F_DEF item (0 START/STOP, 1 CENTER/SPAN) and the
    // two fields in Hz, FREX off.
    void WritePlan(int fdef, double a, double b);
    // Starts the program (the simulator when not yet running), waits for a processed sweep
    // and holds.
    void StartAndHold();
    // Selects a MODE item, runs until a sweep in it has been processed, and holds.
    void SweepIn(int mode);

    void Click(QWidget* w);
    // Replaces the field's text by typing `text`, then presses Enter.
    void Type(QLineEdit* field, const QString& text);
    // Chooses item `index` of a drop-down with the keyboard (Up/Down), as a user would.
    void Choose(QComboBox* box, int index);

    GraphPlot& Plot() { return DisplayControl<TGraph>("Graph1")->plot(); }
    uint32_t Pixel(int x, int y) { return Plot().canvas().Pixel(x, y); }

    // Paints a small square that only a redraw of Graph1 removes.
    void StampGraph1();
    bool StampGone();

    // Distinct averaging counters, to see whether something reset them.
    void SetAveragingCounters();
    bool AveragingCountersUntouched();
    bool AveragingRestarted();

    static constexpr uint32_t kStamp = Rgb(255, 0, 255);
    static constexpr uint32_t kYellow = Rgb(255, 255, 0);
};

} // namespace myrl
