#include "CommandArgs.h"

#include "Convert.h"

#include <algorithm>

namespace myrl {

CommandLine CommandLineFrom(const FoundOptions& found) {
    CommandLine cl;
    if (!found.Positional.empty()) {
        std::string quoted = QuotedText(found.Positional.front());
        std::replace_if(
            quoted.begin(), quoted.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        cl.Error = "Unexpected argument " + quoted + "; see --help.";
        return cl;
    }
    for (const auto& [name, values] :
         {std::pair{"port", &found.Port}, std::pair{"workdir", &found.Workdir},
          std::pair{"remote", &found.Remote}}) {
        if (values->size() > 1) {
            cl.Error = std::string("Option '") + name + "' given more than once.";
            return cl;
        }
    }
    cl.Help = found.Help;
    cl.Version = found.Version;
    cl.PlatformGiven = found.PlatformGiven;
    if (!found.Port.empty()) {
        cl.Port = found.Port.front();
        if (cl.Port.empty()) {
            cl.Error = "Option 'port' needs a device, such as /dev/ttyUSB0.";
        }
    }
    if (!found.Workdir.empty() && cl.Error.empty()) {
        cl.Workdir = found.Workdir.front();
        if (cl.Workdir.empty()) {
            cl.Error = "Option 'workdir' needs a folder.";
        }
    }
    if (!found.Remote.empty() && cl.Error.empty()) {
        cl.Remote = found.Remote.front();
        if (cl.Remote.empty()) {
            cl.Error = "Option 'remote' needs an address: tcp:PORT or unix.";
        }
    }
    return cl;
}

} // namespace myrl
