// Set-ups in the windows: the one in force, read from the instrument and the controls, and
// one recalled, set through the controls as a user would set them; the plan a calibration
// was taken with, entered likewise. User-interface thread only.
#pragma once

#include "SetupFile.h"

namespace myrl {

class DisplayView;
class Instrument;
class PanelView;

// The set-up in force: the plan (as its definition shows it, in whole hertz), FREX, sweep
// time, averaging, mode, view, reference position and level, dB per division, the file of
// the calibration in force (none when the tables are no file's) and the limit lines.
Setup CurrentSetup(const Instrument& core, const PanelView& panel, const DisplayView& display);

// Loads the set-up's calibration file first (one that cannot be loaded throws and changes
// nothing; without one the calibration in force stays), then sets FREX, the plan, sweep
// time, averaging, mode, dB per division, reference position, view, reference level and the
// limit lines, and redraws Graph1.
void RecallSetup(const Setup& setup, Instrument& core, PanelView& panel, DisplayView& display);

// Enters the plan (and FREX) the calibration file last loaded or saved was taken with: by
// the definition F_DEF shows (START/STOP or CENTER/SPAN), ZERO SPAN for one taken in zero
// span. Nothing without such a file.
void EnterCalibrationPlan(Instrument& core, PanelView& panel);

} // namespace myrl
