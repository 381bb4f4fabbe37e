// The lines that say how things stand beyond what the windows show: the link to the unit,
// the age of the curve, the last file written, and so on. Each topic holds at most one
// line; the board's text lists the topics that have one, in the topic order, one per line.
// The program shows the text as the tool tip of the progress bar and in its tools; whoever
// shows it registers for changes. Not thread-safe: one thread (the user interface's).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace myrl {

// Calibration: the calibration NORM uses; CalibrationPlan: that it was taken over another
// plan than the one in force; Limits: the verdict against the limit lines; Files: what this
// run does not do with its own files, and why (the parameter file left as it is at the
// close).
enum class StatusTopic { Link, Curve, Saved, Calibration, CalibrationPlan, Limits, Files, Count };

class StatusBoard {
public:
    // Sets a topic's line (empty clears it). Listeners run only when the text changes.
    void Set(StatusTopic topic, std::string line);
    const std::string& Line(StatusTopic topic) const;
    std::string Text() const;

    // Runs after each change with the new text.
    void OnChange(std::function<void(const std::string&)> listener);

private:
    std::array<std::string, static_cast<std::size_t>(StatusTopic::Count)> lines_;
    std::vector<std::function<void(const std::string&)>> listeners_;
};

} // namespace myrl
