// The program's command line: --help, --version, --port DEVICE, --workdir DIR, --remote
// tcp:PORT|unix, and the
// options Qt itself takes (-platform, -display, ...), which are left for QApplication.
// Parsed before any window or application object exists, so that --help, --version and a
// bad option need no display.
#pragma once

#include "CommandArgs.h"
#include "RemoteServer.h"

#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace myrl {

// `args` as main receives them, the program's own name first: bytes, which the values keep
// exactly (a path that is no UTF-8 stays the path it was).
CommandLine ParseCommandLine(const std::vector<std::string>& args);
// The same for arguments already made text (in the locale's encoding).
CommandLine ParseCommandLine(const QStringList& args);

// The --help text and the --version line, each ending with a new line.
std::string CommandLineHelp();
std::string VersionText();

} // namespace myrl
