// What the two windows ask of the program around them: the parameter file, read by the
// display window's creation and written by the control panel's close, and whether the start
// sequence ran to its end. User-interface thread only.
#pragma once

namespace myrl {

class StartSequence {
public:
    // Reads the parameter file (or the defaults), sets the start-up values and opens the
    // port; throws at the first failure.
    virtual void LoadParams() = 0;
    // Closes the port and writes the parameter file (unless it is to be left as it is);
    // throws when the file cannot be written.
    virtual void SaveParams() = 0;
    // The start sequence ran to its end. A run whose start-up failed never sweeps: the plan
    // or the port it would use was never set up.
    virtual bool Started() const = 0;

protected:
    ~StartSequence() = default;
};

} // namespace myrl
