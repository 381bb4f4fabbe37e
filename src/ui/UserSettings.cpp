#include "UserSettings.h"

#include <QSettings>

namespace myrl {

std::unique_ptr<QSettings> OpenUserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("MYRL"), QStringLiteral("MYRL"));
}

} // namespace myrl
