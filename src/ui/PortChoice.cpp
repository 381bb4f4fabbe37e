#include "PortChoice.h"

#include "UserSettings.h"

#include <QSettings>
#include <QUrl>

namespace myrl {

namespace {

// A folder's path is no settings key as it stands ('/' nests groups): it is percent-encoded.
QString key(const std::string& folder) {
    return QStringLiteral("DefaultPort/") +
           QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(folder)));
}

} // namespace

std::string DefaultPortFor(const std::string& folder) {
    return OpenUserSettings()->value(key(folder)).toString().toStdString();
}

void SetDefaultPortFor(const std::string& folder, const std::string& device) {
    auto settings = OpenUserSettings();
    if (device.empty()) {
        settings->remove(key(folder));
    } else {
        settings->setValue(key(folder), QString::fromStdString(device));
    }
    settings->sync();
}

} // namespace myrl
