// Another copy of the program for the tests: both windows and the start sequence as the
// program's main makes them, in the current folder, on the offscreen platform unless the
// environment names another. Each message the user would see is printed as a line
// "error <message>" instead of a box; then "started". A line "close" on standard input
// closes the control panel as the user does and prints "closed yes" (the program ends)
// or "closed no" (the close was refused); end of input ends the program without a close.
// Takes the program's own options (--port DEVICE).
#include "CommandLine.h"
#include "ErrorReport.h"
#include "Program.h"
#include "TForm1.h"
#include "Widgets.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName("MYRL");
    QApplication::setQuitOnLastWindowClosed(false);
    myrl::SetErrorReporter([](const std::string& m, const std::string& detail) {
        std::printf("error %s\n", m.c_str());
        std::printf("detail %s\n", detail.c_str());
        std::fflush(stdout);
    });
    const myrl::CommandLine cl = myrl::ParseCommandLine(QApplication::arguments());
    myrl::Program program(myrl::StartOptions{cl.Port});
    std::puts("started");
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);
            QApplication::exit(1);
            return;
        }
        pending.append(buf, static_cast<size_t>(n));
        if (pending.find("close\n") != std::string::npos) {
            pending.clear();
            const bool closed = program.Form1->close();
            std::printf("closed %s\n", closed ? "yes" : "no");
            std::fflush(stdout);
        }
    });
    return QApplication::exec();
}
