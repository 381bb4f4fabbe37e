// The tools window's limit lines: on or off, the verdict shown large and in its colour, the
// segments as a table to edit, limits files, a mask built around the trace memory, and the
// beep on a change to FAIL. The set and the verdict are the instrument core's; this section
// shows them and tells the core what the user changed. Its choices persist in the user's
// settings (the limits themselves start off in every run). User-interface thread only.
#pragma once

#include "Instrument.h"

#include <QGroupBox>

#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QTableWidget;

namespace myrl {

class DisplayView;

// The set kept from the last run (in the user's settings) as the core's, when the core has
// none yet; the limits stay as they were, on or off.
void RestoreKeptLimits(Instrument& core);
// The limit lines' switch, whoever turns it (the tools window's box, a remote client): the
// kept set first when the core has none, then on or off, and Graph1 redrawn. The tools
// window's section follows through the core's LimitsChanged.
void SwitchLimits(Instrument& core, DisplayView& display, bool on);
// A new set in force, whoever brings it (the tools window, a remote client): the core's,
// kept in the user's settings for the next run, and Graph1 redrawn.
void ApplyLimits(Instrument& core, DisplayView& display, LimitSet set);

class LimitsPanel : public QGroupBox {
    Q_OBJECT

public:
    LimitsPanel(Instrument& core, DisplayView& display, QWidget* parent);

    // What the controls do, without their file dialogs. Each changes the core's set and
    // redraws Graph1.
    void SetOn(bool on);
    void SetLimits(const LimitSet& set);
    // A limits file; one that cannot be read or is not a limits file is reported (naming the
    // line) and changes nothing. Returns whether it was loaded.
    bool LoadLimits(const std::string& path);
    // Writes the set in force; reported on failure. Returns whether it was written.
    bool SaveLimits(const std::string& path);
    // A level mask `offsetDb` above and below the trace memory; false (reported) without a
    // memory.
    bool FromMemory(double offsetDb);
    void SetBeep(bool on);

    // The verdict as shown: "PASS", "FAIL" (also with no points in range, which the line
    // beside it says), or "--" without one.
    QString VerdictText() const;
    // Why the table's last edit was not taken (empty when it was).
    QString Problem() const;

    // Rewrites the table, the switches and the verdict from the core.
    void Refresh();

private:
    void build();
    void fillTable();
    void tableEdited();
    void showVerdict();

    Instrument& core_;
    DisplayView& display_;
    Instrument::Subscription events_;
    bool filling_ = false;
    bool editing_ = false;
    QCheckBox* on_ = nullptr;
    QComboBox* view_ = nullptr;
    QLabel* verdict_ = nullptr;
    QLabel* detail_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* problem_ = nullptr;
    QDoubleSpinBox* offset_ = nullptr;
    QCheckBox* beep_ = nullptr;
};

} // namespace myrl
