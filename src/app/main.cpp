// MYRL: the control program of the frequency-response analyser.
#include "ErrorReport.h"
#include "Program.h"
#include "Widgets.h"

#include <QApplication>

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
    MyrlApplication app(argc, argv);
    QApplication::setApplicationName("MYRL");
    // The display window has no close button; the program ends with the control panel.
    QApplication::setQuitOnLastWindowClosed(false);
    myrl::Program program;
    return QApplication::exec();
}
