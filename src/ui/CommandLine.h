// The program's command line: --help, --version, --port DEVICE, --workdir DIR, and the
// options Qt itself takes (-platform, -display, ...), which are left for QApplication.
// Parsed before any window or application object exists, so that --help, --version and a
// bad option need no display.
#pragma once

#include <QStringList>

#include <string>

namespace myrl {

struct CommandLine {
    bool Help = false;
    bool Version = false;
    // The device this run opens in place of what line 1 of the parameter file names;
    // empty: the parameter file's port.
    std::string Port;
    // The folder of the parameter file, the export and the COM links; empty: the current one.
    std::string Workdir;
    // Qt's -platform was given: the window system is the user's choice.
    bool PlatformGiven = false;
    // One line (without the program's name) when the command line is not understood.
    std::string Error;
};

// `args` as main receives them, the program's own name first.
CommandLine ParseCommandLine(const QStringList& args);

// The --help text and the --version line, each ending with a new line.
std::string CommandLineHelp();
std::string VersionText();

} // namespace myrl
