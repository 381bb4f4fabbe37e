#include "ErrorReport.h"

#include "Widgets.h"

#include <QApplication>
#include <QLabel>
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
    ErrorBox(message, detail)->exec();
}

std::unique_ptr<QMessageBox> ErrorBox(const std::string& message, const std::string& detail) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, "MYRL", Q(message),
                                             QMessageBox::Ok, QApplication::activeWindow());
    // Messages quote file text (a parameter file's line, a calibration file's version),
    // which must show as it stands, never as markup.
    box->setTextFormat(Qt::PlainText);
    if (!detail.empty()) {
        box->setInformativeText(Q(detail));
        for (QLabel* label : box->findChildren<QLabel*>("qt_msgbox_informativelabel")) {
            label->setTextFormat(Qt::PlainText);
        }
    }
    return box;
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
