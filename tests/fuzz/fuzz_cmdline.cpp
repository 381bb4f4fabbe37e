// The program's own options once the parser has split the command line (CommandLineFrom).
// The input is a list of arguments, each "<kind><bytes>" and ended by a NUL: kind 'h' --help,
// 'v' --version, 'p' a value of --port, 'w' a value of --workdir, anything else an argument
// that is no option. Properties: the command line is refused exactly when an argument is no
// option, an option is given twice or a value is empty; the refusal is one line that quotes
// at most 100 characters; otherwise the values are the bytes given, unchanged.
#include "CommandArgs.h"
#include "FuzzSupport.h"

#include <string>

using namespace myrl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FoundOptions found;
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (size_t from = 0; from < input.size();) {
        size_t end = input.find('\0', from);
        if (end == std::string::npos) {
            end = input.size();
        }
        const std::string arg = input.substr(from, end - from);
        from = end + 1;
        const std::string value = arg.empty() ? "" : arg.substr(1);
        switch (arg.empty() ? '\0' : arg[0]) {
        case 'h':
            found.Help = true;
            break;
        case 'v':
            found.Version = true;
            break;
        case 'p':
            found.Port.push_back(value);
            break;
        case 'w':
            found.Workdir.push_back(value);
            break;
        default:
            found.Positional.push_back(arg);
            break;
        }
    }
    const CommandLine cl = CommandLineFrom(found);
    const bool bad = !found.Positional.empty() || found.Port.size() > 1 ||
                     found.Workdir.size() > 1 ||
                     (found.Port.size() == 1 && found.Port[0].empty()) ||
                     (found.Workdir.size() == 1 && found.Workdir[0].empty());
    FUZZ_CHECK(cl.Error.empty() == !bad);
    FUZZ_CHECK(cl.Error.find('\n') == std::string::npos);
    FUZZ_CHECK(cl.Error.size() <= 60 + 4 * 100 + 3);
    if (!bad) {
        FUZZ_CHECK(cl.Help == found.Help && cl.Version == found.Version);
        FUZZ_CHECK(cl.Port == (found.Port.empty() ? "" : found.Port[0]));
        FUZZ_CHECK(cl.Workdir == (found.Workdir.empty() ? "" : found.Workdir[0]));
    }
    return 0;
}
