// MYRL's remote-control commands: the instrument core and its controls behind the common
// commands of IEEE 488.2 and a small SCPI tree. Setters go through RemoteControls (the
// panel's handlers in the windowed program); queries read the instrument core, the sweep
// ones its last complete sweep. The set, with what each answers, is in the manual page and
// the help window. One thread: the instrument's.
#pragma once

#include "Instrument.h"
#include "ScpiSession.h"

#include <string>

namespace myrl {

class RemoteControls;

class InstrumentCommands {
public:
    // `version` is the program's, for *IDN?.
    InstrumentCommands(Instrument& core, RemoteControls& controls, std::string version);

    ScpiInterpreter& Interpreter() { return interpreter_; }
    // An operation a client may wait for has not finished: a single acquisition (INIT)
    // under way, or, while the instrument sweeps, the average of the settings in force not
    // settled yet (nothing is pending while the port is not open).
    bool Pending() const;

    // The texts the queries answer with: a number as the shortest text that reads back to
    // it, in plain digits from 1E-5 to below 1E16 ("10700000", "-3.25"), else with an
    // exponent ("1.5E-07"); 9.91E37 for "not a number".
    static std::string Number(double v);

private:
    void addCommands();
    std::shared_ptr<const SweepSnapshot> lastSweep() const;

    Instrument& core_;
    RemoteControls& controls_;
    std::string version_;
    ScpiInterpreter interpreter_;
    bool initIssued_ = false; // an INIT of a client is under way
    Instrument::Subscription events_;
};

} // namespace myrl
