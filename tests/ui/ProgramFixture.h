// The real program on Qt's offscreen platform, in a fresh working folder of its own, with
// the simulated analyser unit published there as COM1.
#pragma once

#include "Program.h"
#include "Simulator.h"
#include "TForm1.h"
#include "TForm2.h"

#include <gtest/gtest.h>

#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace myrl {

// A control of a window, found by its name (each control's object name is its name).
template <class W> W* Control(QWidget& window, const char* name) {
    if (W* w = window.findChild<W*>(QString::fromLatin1(name))) {
        return w;
    }
    throw std::runtime_error(std::string("no control named ") + name);
}

class ProgramTest : public ::testing::Test {
protected:
    // Makes the folder and enters it, starts the simulator (fast pacing unless the test
    // changes Config before StartSimulator) and collects error messages instead of
    // showing message boxes.
    void SetUp() override;
    // Ends the program, the simulator, and removes the folder.
    void TearDown() override;

    // Default: a thru device answering at once.
    sim::SimConfig Config;
    void StartSimulator();
    // Creates the program: both windows and the start sequence, as at program start.
    void StartProgram();
    // Runs the event loop until `done` holds or `timeout` passes; returns `done()`.
    // (Never wait on the simulator's own WaitFor here: it would stall the event loop
    // that drives the program.)
    bool WaitUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Runs the event loop for `time`.
    void RunFor(std::chrono::milliseconds time);
    // Chooses the frequency definition `fdef` in F_DEF and, unless `edit1` is empty, types
    // the two fields and Enter; fails the test on an error message.
    void EnterPlan(const QString& fdef, const QString& edit1, const QString& edit2);
    // Selects HOLD and waits until the running step has ended.
    void Hold();
    // `text` as the locale writes it: its full stops and commas the locale's separators.
    static std::string Local(std::string text);
    // Writes a file in the working folder.
    void WriteFile(const std::string& name, const std::string& bytes);
    std::string ReadFile(const std::string& name) const;

    MeasState& State() { return P->Core.State(); }
    Instrument& Core() { return P->Core; }
    // The panel's port, as the instrument keeps it.
    TCommX& Port() { return *P->Core.Port(); }
    template <class W> W* PanelControl(const char* name) { return Control<W>(Form1(), name); }
    template <class W> W* DisplayControl(const char* name) { return Control<W>(Form2(), name); }
    TForm1& Form1() { return *P->Form1; }
    TForm2& Form2() { return *P->Form2; }

    std::filesystem::path Dir;
    std::unique_ptr<sim::Simulator> Sim;
    std::unique_ptr<Program> P;
    std::vector<std::string> Errors;       // messages the user would have seen, in order
    std::vector<std::string> ErrorDetails; // the English line under each (may be empty)

private:
    std::filesystem::path oldDir_;
};

} // namespace myrl
