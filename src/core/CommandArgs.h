// The program's own options once a parser has split the command line (src/ui/CommandLine.h
// does, with Qt's parser): checked here, without Qt. Arguments are bytes as the system
// passes them, so a device or folder whose name is not valid UTF-8 is kept exactly.
#pragma once

#include <string>
#include <vector>

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
    // Remote control for this run as given ("tcp:PORT" or "unix", checked by the program);
    // empty: none.
    std::string Remote;
    // One line (without the program's name) when the command line is not understood.
    std::string Error;
};

// What a parser found: each value given to --port, --workdir and --remote, in order, and the
// arguments that are no option.
struct FoundOptions {
    bool Help = false;
    bool Version = false;
    bool PlatformGiven = false;
    std::vector<std::string> Port;
    std::vector<std::string> Workdir;
    std::vector<std::string> Remote;
    std::vector<std::string> Positional;
};

// The command line that `found` makes, or its Error: an argument that is no option, an
// option given more than once, an empty device, folder or address. The Error quotes at most 100
// characters of an argument and is one line.
CommandLine CommandLineFrom(const FoundOptions& found);

} // namespace myrl
