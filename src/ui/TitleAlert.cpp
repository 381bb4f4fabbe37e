#include "TitleAlert.h"

#include <algorithm>

namespace myrl {

namespace {

const QString kBetween = QString::fromUtf8(" — ");

} // namespace

QString TitleAlert::Titled(const QString& alert, const QString& title) {
    return alert.isEmpty() ? title : alert + kBetween + title;
}

void TitleAlert::Track(QWidget& window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), nullptr), windows_.end());
    windows_.emplace_back(&window);
    apply(window, {});
}

void TitleAlert::Set(const QString& alert) {
    if (alert == alert_) {
        return;
    }
    const QString before = alert_;
    alert_ = alert;
    for (const QPointer<QWidget>& w : windows_) {
        if (w) {
            apply(*w, before);
        }
    }
}

void TitleAlert::apply(QWidget& window, const QString& before) const {
    // The window's own title is what follows the alert shown before, if any: a window that
    // copied another's title (the display window takes the panel's) copied that alert too.
    QString own = window.windowTitle();
    for (const QString& shown : {before, alert_}) {
        if (!shown.isEmpty() && own.startsWith(shown + kBetween)) {
            own.remove(0, shown.size() + kBetween.size());
            break;
        }
    }
    window.setWindowTitle(Titled(alert_, own));
}

} // namespace myrl
