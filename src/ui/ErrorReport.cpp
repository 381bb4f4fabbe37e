#include "ErrorReport.h"

#include "Widgets.h"

#include <QApplication>
#include <QMessageBox>

namespace myrl {

namespace {

ErrorReporter& reporter() {
    static ErrorReporter r;
    return r;
}

} // namespace

void SetErrorReporter(ErrorReporter r) {
    reporter() = std::move(r);
}

void ReportError(const std::exception& e, const std::string& extra) {
    const std::string message = std::string(e.what()) + ".";
    std::string detail = ErrorDetail(e);
    if (!extra.empty()) {
        detail += detail.empty() ? extra : "\n" + extra;
    }
    if (reporter()) {
        reporter()(message, detail);
        return;
    }
    QMessageBox box(QMessageBox::Critical, "MYRL", Q(message), QMessageBox::Ok,
                    QApplication::activeWindow());
    if (!detail.empty()) {
        box.setInformativeText(Q(detail));
    }
    box.exec();
}

bool Guarded(const std::function<void()>& f) {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        ReportError(e);
    }
    return false;
}

} // namespace myrl
