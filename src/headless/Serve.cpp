#include "Serve.h"

#include "CommX.h"
#include "CoreControls.h"
#include "ErrorDetail.h"
#include "HeadlessStart.h"
#include "Instrument.h"
#include "InstrumentCommands.h"
#include "Measure.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#ifndef MYRL_VERSION
#define MYRL_VERSION "?"
#endif

namespace myrl {

namespace {

using Clock = std::chrono::steady_clock;

void say(const std::string& line) {
    std::fprintf(stderr, "myrl serve: %s\n", line.c_str());
    std::fflush(stderr);
}

} // namespace

ServeOptions ParseServeOptions(const std::vector<std::string>& args) {
    ServeOptions o;
    bool remote = false;
    auto fail = [&o](std::string line) {
        if (o.Error.empty()) {
            o.Error = std::move(line);
        }
    };
    for (size_t i = 0; i < args.size() && o.Error.empty(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name == "-h" || name == "--help") {
            o.Help = true;
            continue;
        }
        if (name != "--port" && name != "--workdir" && name != "--remote") {
            fail((name.rfind("-", 0) == 0 ? "unknown option '" : "unexpected argument '") + name +
                 "'; see myrl serve --help.");
            break;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                fail("option '" + name + "' needs a value; see myrl serve --help.");
                break;
            }
            value = args[++i];
        }
        if (value->empty()) {
            fail("option '" + name + "' needs a value; see myrl serve --help.");
        } else if (name == "--port") {
            o.Port = *value;
        } else if (name == "--workdir") {
            o.Workdir = *value;
        } else {
            std::string why;
            const auto a = ParseRemoteAddress(*value, &why);
            if (!a) {
                fail("--remote: " + why + ".");
            } else {
                o.Remote = *a;
                remote = true;
            }
        }
    }
    if (o.Error.empty() && !o.Help && !remote) {
        fail("give --remote tcp:PORT or --remote unix; see myrl serve --help.");
    }
    return o;
}

std::string ServeHelp() {
    return "Usage: myrl serve --remote tcp:PORT|unix [--port DEVICE] [--workdir DIR]\n"
           "Runs the instrument without windows and without a display: opens the port, sweeps\n"
           "as the windows do and answers remote control (SCPI, as bench instruments do) on\n"
           "a socket of this computer, until SIGINT or SIGTERM ends it.\n"
           "\n"
           "  --remote tcp:PORT    listen on 127.0.0.1 and ::1, port PORT (5025 is the usual\n"
           "                       one; 0 takes a free port); never on any other address\n"
           "  --remote unix        listen on the socket $XDG_RUNTIME_DIR/" +
           std::string(kRemoteSocketName) +
           "\n"
           "                       (readable and writable by this user alone)\n"
           "  --port DEVICE        the unit's device (default: the port of line 1 of\n"
           "                       myrl_prm.txt in the working folder, only read)\n"
           "  --workdir DIR        the folder of myrl_prm.txt and the COMn links\n"
           "  -h, --help           show this text\n"
           "\n"
           "The plan and FREX of myrl_prm.txt are the start; the commands change them. One\n"
           "client at a time, of this user only. A VISA client opens\n"
           "TCPIP::127.0.0.1::PORT::SOCKET with read and write termination \"\\n\". The\n"
           "commands: man myrl, REMOTE CONTROL. myrl_prm.txt, the data export and the user's\n"
           "settings are never written.\n"
           "\n"
           "Exit status: 0 ended by a signal; 2 usage; 3 the port cannot be opened; 4 the\n"
           "parameter file cannot be read; 5 the remote address cannot be used.\n";
}

int RunServe(const ServeOptions& o) {
    if (!o.Workdir.empty() && ::chdir(o.Workdir.c_str()) != 0) {
        say("cannot work in " + o.Workdir + ": " + std::strerror(errno));
        return kExitUsage;
    }
    StoredParams params;
    try {
        params = ReadFolderParams();
    } catch (const std::exception& e) {
        say(e.what());
        return kExitFile;
    }
    // The signals stay pending outside the server's waits, in every thread made from here on
    // (the port's workers too).
    StopSignals signals;
    signals.Block();

    TCommX port;
    Instrument core;
    AttachUnitPort(core, port, params.PortNo, o.Port);
    FieldsEntry entry(params.FDefIndex, params.Edit1, params.Edit2);
    try {
        StartInstrument(core, params, entry);
    } catch (const std::exception& e) {
        say(std::string("the plan of ") + kParamFileName + " does not convert (" + ErrorReason(e) +
            ")");
        return kExitFile;
    }
    CoreControls controls(core, entry);
    InstrumentCommands commands(core, controls, MYRL_VERSION);
    RemoteServer server(core, commands);
    server.OnNote = say;
    try {
        server.Listen(o.Remote);
    } catch (const std::exception& e) {
        say(std::string("remote control: ") + e.what());
        return kExitRemote;
    }
    try {
        core.OpenPort();
    } catch (const std::exception& e) {
        say(ErrorReason(e));
        return kExitUnit;
    }
    LinkKind shown = core.Link().Kind();
    say(core.Link().LinkLine());
    auto links = core.Subscribe([&](InstrumentEvent e) {
        if (e == InstrumentEvent::LinkChanged && core.Link().Kind() != shown) {
            shown = core.Link().Kind();
            say(core.Link().LinkLine());
        }
    });
    say("remote control on " + server.Where());

    // Commands that arrive while a step waits in the port's read are carried out there, as a
    // click on the windows would be.
    port.SetProcessEvents([&] { server.Poll(0, signals.WaitMask()); });
    NoStepView view;
    while (!signals.Stopped()) {
        if (!core.Running()) {
            server.Poll(-1, signals.WaitMask());
            continue;
        }
        try {
            core.Step(view);
        } catch (const std::exception& e) {
            // As the windows do: the error is told and the sweeping stops (RUN again
            // resumes it).
            say(ErrorReason(e));
            core.SetRunning(false);
        }
        // The cycle's rhythm: the next step 50 ms after this one ended, the sockets served
        // meanwhile.
        const auto next = Clock::now() + std::chrono::milliseconds(50);
        while (!signals.Stopped()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
            if (left <= 0) {
                break;
            }
            server.Poll(static_cast<int>(left), signals.WaitMask());
        }
    }
    port.SetProcessEvents({});
    server.Close();
    core.ClosePort();
    say("ended by a signal; the port is closed");
    return kExitDone;
}

int ServeMain(const std::vector<std::string>& args) {
    const ServeOptions o = ParseServeOptions(args);
    if (!o.Error.empty()) {
        say(o.Error);
        return kExitUsage;
    }
    if (o.Help) {
        std::fputs(ServeHelp().c_str(), stdout);
        return kExitDone;
    }
    return RunServe(o);
}

} // namespace myrl
