// The tools window "MYRL Tools": the level scale of Graph1, filter and peak readouts with
// marker actions, calibration files, the trace memory and the distance to a reflection
// in the delay view, on tabs over the status lines. The rules are the instrument core's; the window
// shows them, listens to the core's notifications, and reaches the display only through
// DisplayView. It touches no control of the other windows. Its choices persist in the user's
// settings. User-interface thread only.
#pragma once

#include "FilterReadout.h"
#include "Instrument.h"

#include <QPointer>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace myrl {

class DisplayView;

// Loads the calibration file last loaded or saved into `core`, when the user asked for that
// at start-up; a file that cannot be loaded is reported and changes nothing.
void AutoLoadCalibration(Instrument& core);

class ToolsWindow : public QWidget {
    Q_OBJECT

public:
    // The window stays hidden until opened.
    ToolsWindow(Instrument& core, DisplayView& display);

    // Shows the window; the first time beside the windows given to KeepBeside (right of
    // them, else below, else left, as the screen has room), no larger than the screen's room.
    void Open();
    void KeepBeside(std::vector<QWidget*> windows);
    // Adds a section of its own (a group box) to the tab named `tab` (a new tab after the
    // others when there is none); the window owns it.
    void AddSection(const QString& tab, QWidget* section);

    // What the controls do, without their file dialogs.
    void SetDbPerDiv(int dbPerDiv);
    // Writes the CAL tables with the plan and settings in force; throws on failure.
    void SaveCalibration(const std::string& path, const std::string& note);
    // Reads a calibration file into the CAL tables. A file that cannot be read or is not a
    // calibration file is reported and changes nothing; returns whether it was loaded.
    bool LoadCalibration(const std::string& path);
    void SetAutoLoad(bool on);

    void StoreTrace();
    // Reads a data export as the memory; reported and nothing changed on failure.
    bool LoadMemory(const std::string& path);
    // kMemOff, kMemShown or kMemSubtracted; redraws Graph1.
    void SetMemoryMode(int mode);

    // The readout over the whole trace, or the points between the markers.
    std::optional<FilterReadout> Readout() const;
    enum class Target { Peak, LowerEdge, UpperEdge, Minimum };
    // Moves marker 1 or 2 to the target of the current readout, as a drag to that column
    // would; false when the target is not there (no readout, an edge outside the range).
    bool MoveMarker(int marker, Target target);

    // The calibration's state line ("NORM uses: …", "no calibration: …") and the warning
    // on its coverage of the plan (may be empty).
    std::string CalibrationLine() const;
    std::string CoverageLine() const;
    // The velocity factor in use.
    double VelocityFactor() const;
    // The highest cepstrum peak's round-trip delay (s), when the delay view has one.
    std::optional<double> PeakDelay() const;

    // Rewrites every readout from the state.
    void Refresh();

private:
    // A refresh once the events now pending have run: the core's notifications come in
    // bursts (a drag, a sweep and its settling), one refresh answers them all.
    void scheduleRefresh();
    void build();
    void placeBesideTheWindows();
    // Writes the readouts, the calibration's and the memory's lines into their labels.
    void fillReadouts();
    void saveSettings() const;
    std::string readoutText() const;
    std::string distanceText() const;

    Instrument& core_;
    DisplayView& display_;
    Instrument::Subscription events_;
    bool refreshPending_ = false;
    bool placed_ = false;
    std::vector<QPointer<QWidget>> neighbours_;
    QTabWidget* tabs_ = nullptr;
    QComboBox* scale_ = nullptr;
    QComboBox* range_ = nullptr;
    QDoubleSpinBox* down_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* calState_ = nullptr;
    QLineEdit* note_ = nullptr;
    QCheckBox* autoLoad_ = nullptr;
    QComboBox* memMode_ = nullptr;
    QLabel* memState_ = nullptr;
    QComboBox* cable_ = nullptr;
    QDoubleSpinBox* vf_ = nullptr;
    QLabel* distance_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace myrl
