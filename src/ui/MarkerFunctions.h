// The tools window's marker functions: the difference marker 2 - marker 1 in level and
// frequency, and moves of a marker to the peak or the minimum (over the span or between the
// markers), to the next peak down, or to the first crossing of a level to the left or right
// of it. They search the trace as Graph1 shows it, over its points 0 .. SweepSteps (never
// those beyond STOP), and move a marker exactly as a drag to that column does; Graph1 keeps
// its two markers and no others. User-interface thread only.
#pragma once

#include "Instrument.h"

#include <QGroupBox>

#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

namespace myrl {

class DisplayView;

class MarkerFunctions : public QGroupBox {
    Q_OBJECT

public:
    MarkerFunctions(Instrument& core, DisplayView& display, QWidget* parent);

    enum class Function { Peak, Minimum, NextPeak, CrossingLeft, CrossingRight };
    // Moves the chosen marker; false when there is nothing to move to (no trace, fewer than
    // two points in the range, no lower peak, no crossing on that side).
    bool Move(Function f);

    // What the controls choose.
    void SetMarker(int marker);           // 1 or 2
    void SetBetweenMarkers(bool between); // the range of Peak and Minimum
    void SetLevel(double level);          // L of the crossings, in the view's unit
    void SetExcursion(double excursion);  // how far a peak rises above its surroundings

    // "Marker 2 − marker 1: -2.95 dB, 45,000 Hz" (SWR or % in those views and zero span).
    QString DeltaText() const;
    // Where the chosen marker would go, without moving it.
    std::optional<double> Target(Function f) const;

    void Refresh();

private:
    double markerX(int marker) const;

    Instrument& core_;
    DisplayView& display_;
    Instrument::Subscription events_;
    QComboBox* marker_ = nullptr;
    QComboBox* range_ = nullptr;
    QDoubleSpinBox* level_ = nullptr;
    QDoubleSpinBox* excursion_ = nullptr;
    QLabel* delta_ = nullptr;
    QLabel* note_ = nullptr;
};

} // namespace myrl
