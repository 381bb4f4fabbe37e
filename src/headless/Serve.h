// `myrl serve`: the instrument core without windows or a display, sweeping as the windowed
// program does and answering remote control (SCPI) on a socket of this computer, until a
// signal ends it.
#pragma once

#include "RemoteServer.h"

#include <string>
#include <vector>

namespace myrl {

struct ServeOptions {
    bool Help = false;
    std::string Port;    // the device; empty: the port of the folder's parameter file
    std::string Workdir; // the folder of myrl_prm.txt and the COMn links; empty: this one
    RemoteAddress Remote;
    // One line when the command line is not understood (exit 2), else empty.
    std::string Error;
};

// Exit status when the remote address cannot be used (in use, no runtime folder).
constexpr int kExitRemote = 5;

// `args` are the words after "serve".
ServeOptions ParseServeOptions(const std::vector<std::string>& args);
// The text of `myrl serve --help`.
std::string ServeHelp();

// Runs until SIGINT, SIGTERM or SIGHUP (exit 0); reports on standard error and returns the
// exit status: 2 usage, 3 the port cannot be opened, 4 the parameter file, 5 the address.
int RunServe(const ServeOptions& o);

// The whole subcommand: `args` are the words after "serve".
int ServeMain(const std::vector<std::string>& args);

} // namespace myrl
