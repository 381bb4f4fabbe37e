#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#ifndef MYRL_VERSION
#define MYRL_VERSION "?"
#endif
#ifndef MYRL_GIT_REVISION
#define MYRL_GIT_REVISION "unknown"
#endif

namespace myrl {

namespace {

// Qt's own options, which QApplication takes from the same command line. Qt has no public
// list of them, and it takes them only while it connects to a display: --help, --version
// and a bad option are answered before that, so the list is kept here.
const char* const kQtValueOptions[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "display", "geometry",
    "style",       "stylesheet",         "session",       "name",   "title",   "qwindowgeometry",
    "qwindowicon", "qwindowtitle"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    // Each byte becomes one character and back, so that no argument is changed on its way
    // through the parser (the option names are ASCII).
    QStringList text;
    for (const std::string& a : args) {
        text << QString::fromLatin1(a.data(), static_cast<qsizetype>(a.size()));
    }
    const auto bytes = [](const QString& s) { return s.toLatin1().toStdString(); };
    const auto all = [&](const QStringList& list) {
        std::vector<std::string> out;
        for (const QString& s : list) {
            out.push_back(bytes(s));
        }
        return out;
    };

    QCommandLineParser parser;
    // "-platform offscreen" is one option, as Qt reads it.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version(QStringList{"v", "version"});
    const QCommandLineOption port("port", {}, "DEVICE");
    const QCommandLineOption workdir("workdir", {}, "DIR");
    const QCommandLineOption remote("remote", {}, "ADDRESS");
    parser.addOptions({help, version, port, workdir, remote});
    for (const char* name : kQtValueOptions) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, "value"));
    }
    for (const char* name : kQtFlagOptions) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }

    if (!parser.parse(text)) {
        CommandLine cl;
        cl.Error = bytes(parser.errorText());
        return cl;
    }
    FoundOptions found;
    found.Help = parser.isSet(help);
    found.Version = parser.isSet(version);
    found.PlatformGiven = parser.isSet("platform");
    found.Port = all(parser.values(port));
    found.Workdir = all(parser.values(workdir));
    found.Remote = all(parser.values(remote));
    found.Positional = all(parser.positionalArguments());
    CommandLine cl = CommandLineFrom(found);
    std::string why;
    if (cl.Error.empty() && !cl.Remote.empty() && !ParseRemoteAddress(cl.Remote, &why)) {
        cl.Error = "Option 'remote': " + why + ".";
    }
    return cl;
}

CommandLine ParseCommandLine(const QStringList& args) {
    std::vector<std::string> bytes;
    for (const QString& a : args) {
        bytes.push_back(a.toLocal8Bit().toStdString());
    }
    return ParseCommandLine(bytes);
}

std::string CommandLineHelp() {
    return "Usage: myrl [--port DEVICE] [--workdir DIR]\n"
           "            [--remote tcp:PORT|unix]\n"
           "       myrl measure [OPTION]...   (a measurement without windows; see\n"
           "                                   myrl measure --help)\n"
           "       myrl serve --remote tcp:PORT|unix [--port DEVICE]\n"
           "                                  (remote control without windows; see\n"
           "                                   myrl serve --help)\n"
           "The control program of the MYRL frequency-response analyser.\n"
           "\n"
           "Options:\n"
           "  -h, --help        Show this text and exit.\n"
           "  -v, --version     Show the version and exit.\n"
           "  --port DEVICE     Open DEVICE (for example /dev/ttyUSB0 or a name in\n"
           "                    /dev/serial/by-id/) in place of the port that line 1 of\n"
           "                    myrl_prm.txt names. Line 1 is still read and written back\n"
           "                    as it was.\n"
           "  --workdir DIR     The folder of myrl_prm.txt, the exported data and the COMn\n"
           "                    links (default: the current folder).\n"
           "  --remote tcp:PORT Answer remote control (SCPI, as bench instruments do) on\n"
           "                    127.0.0.1 and ::1, port PORT (5025 is the usual one), never\n"
           "                    on any other address.\n"
           "  --remote unix     Answer it on the socket $XDG_RUNTIME_DIR/" +
           std::string(kRemoteSocketName) +
           ",\n"
           "                    readable and writable by this user alone.\n"
           "                    Remote control is off unless asked for here or in the tools\n"
           "                    window; it serves one client at a time, of this user only.\n"
           "\n"
           "Without --port, port n of line 1 is the link COMn in the working folder when it\n"
           "exists, else /dev/ttyS(n-1). The Port dialog (Ctrl+Shift+P) lists the serial\n"
           "devices and switches between them while the program runs.\n"
           "\n"
           "A user may open a serial device only as a member of its group (the Port dialog\n"
           "names it), usually dialout:\n"
           "  sudo usermod -aG dialout $USER   (then log in again)\n";
}

std::string VersionText() {
    return std::string("MYRL " MYRL_VERSION " (revision ") + MYRL_GIT_REVISION + ")\n";
}

} // namespace myrl
