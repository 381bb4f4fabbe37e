// The user's own settings of what lies beyond the two windows (the port chosen for a
// folder, the tools, the folders last saved to), kept apart from the parameter file, which
// stays exactly the fifteen lines it is: $XDG_CONFIG_HOME/MYRL/MYRL.ini (by default
// ~/.config/MYRL/MYRL.ini). Tests point XDG_CONFIG_HOME at a folder of their own.
#pragma once

#include <memory>

class QSettings;

namespace myrl {

std::unique_ptr<QSettings> OpenUserSettings();

} // namespace myrl
