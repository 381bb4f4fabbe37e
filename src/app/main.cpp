// MYRL: the control program of the frequency-response analyser.
#include "CloseSignals.h"
#include "CommandLine.h"
#include "ErrorReport.h"
#include "Measure.h"
#include "Program.h"
#include "Serve.h"
#include "TForm1.h"
#include "Widgets.h"
#include "WindowFrames.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The backstop of the error report: whatever an event handler lets escape is shown and
// the program carries on.
class MyrlApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            myrl::ReportError(e);
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    // A run without windows needs neither a display nor Qt.
    if (argc > 1 && std::strcmp(argv[1], "measure") == 0) {
        return myrl::MeasureMain(std::vector<std::string>(argv + 2, argv + argc));
    }
    if (argc > 1 && std::strcmp(argv[1], "serve") == 0) {
        return myrl::ServeMain(std::vector<std::string>(argv + 2, argv + argc));
    }
    // The command line first: --help, --version and a bad option need no display.
    const myrl::CommandLine cl =
        myrl::ParseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (!cl.Error.empty()) {
        std::fprintf(stderr, "myrl: %s\n", cl.Error.c_str());
        return 2;
    }
    if (cl.Help || cl.Version) {
        std::fputs((cl.Help ? myrl::CommandLineHelp() : myrl::VersionText()).c_str(), stdout);
        return 0;
    }
    if (!cl.Workdir.empty() && ::chdir(cl.Workdir.c_str()) != 0) {
        std::fprintf(stderr, "myrl: cannot work in %s: %s\n", cl.Workdir.c_str(),
                     std::strerror(errno));
        return 2;
    }

    myrl::CatchCloseSignals();
    // X11 (Xwayland) where Qt would take Wayland: only there are the windows where they belong.
    if (const char* platform = myrl::ChoosePlatform(myrl::OfferOfEnvironment(cl.PlatformGiven))) {
        ::setenv("QT_QPA_PLATFORM", platform, 1);
    }
    myrl::PrepareDisplayConnection();
    MyrlApplication app(argc, argv);
    QApplication::setApplicationName("MYRL");
    QGuiApplication::setDesktopFileName("myrl");
    QApplication::setWindowIcon(QIcon(":/myrl.png"));
    // The display window refuses to close; the program ends with the control panel.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt paints nothing on a display of fewer than 16 bits per pixel (an X server started
    // with 8, as xvfb-run does by default): every window, message boxes too, stays black.
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->depth() < 16) {
        std::fprintf(stderr,
                     "myrl: the display has %d bits per pixel; the windows need 16 or more "
                     "and will stay black\n",
                     screen->depth());
    }
    std::optional<myrl::RemoteAddress> remote;
    if (!cl.Remote.empty()) {
        remote = myrl::ParseRemoteAddress(cl.Remote, nullptr); // checked by ParseCommandLine
    }
    myrl::Program program(myrl::StartOptions{cl.Port, remote});
    myrl::CloseOnSignals(*program.Form1);
    return QApplication::exec();
}
