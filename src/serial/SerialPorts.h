// The serial devices a user may choose from, as they exist now: /dev/serial/by-id/* (with
// a readable name), ttyUSB*, ttyACM*, the ttyS* behind which a real port sits, and the
// COMn links of the working folder with what they point to; those this user may not open
// say why. Qt-free; any thread.
#pragma once

#include <string>
#include <vector>

namespace myrl {

struct SerialPortEntry {
    enum class Kind { ById, Usb, Acm, Uart, Link };
    Kind kind;
    std::string Path;   // what to open
    std::string Name;   // readable name: the adapter for by-id entries, else the file name
    std::string Target; // what a link points to, made absolute; empty for a device itself
    // Why this user may not open it ("permission denied: group dialout": the device's
    // group), or empty.
    std::string Denied;
};

// Lists the ports under `root` (its dev/ and sys/class/tty/ stand for /dev and
// /sys/class/tty; "/" on a running system) and the COMn entries of `workdir`. Entries come
// in the order by-id, ttyUSB, ttyACM, ttyS, COM links, each group sorted by the number its
// names end with (of any length).
std::vector<SerialPortEntry> ListSerialPorts(const std::string& root, const std::string& workdir);

// The readable name of a /dev/serial/by-id entry: "usb-Maker_Cable_X1-if00-port0" gives
// "Maker Cable X1".
std::string ByIdName(const std::string& fileName);

} // namespace myrl
