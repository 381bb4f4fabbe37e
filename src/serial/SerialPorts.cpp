#include "SerialPorts.h"

#include "CommX.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <optional>
#include <regex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace myrl {

namespace fs = std::filesystem;

namespace {

// The digits a name ends with, without leading zeros; nullopt when it ends in none. Compared
// as text (the shorter first, then in order), so that any number of digits sorts by value.
std::optional<std::string> endNumber(const std::string& n) {
    size_t i = n.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(n[i - 1]))) {
        --i;
    }
    if (i == n.size()) {
        return std::nullopt;
    }
    return n.substr(std::min(n.find_first_not_of('0', i), n.size()));
}

bool byNumber(const std::string& a, const std::string& b) {
    const auto na = endNumber(a);
    const auto nb = endNumber(b);
    if (na.has_value() != nb.has_value()) {
        return !na.has_value();
    }
    if (na && *na != *nb) {
        return na->size() != nb->size() ? na->size() < nb->size() : *na < *nb;
    }
    return a < b;
}

// The names in `dir` that match `pattern`, sorted by the number they end with.
std::vector<std::string> namesIn(const fs::path& dir, const std::regex& pattern) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (std::regex_match(name, pattern)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), byNumber);
    return names;
}

// What the link `p` points to, made absolute (without resolving further); empty when `p`
// is no link.
std::string linkTarget(const fs::path& p) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) {
        return {};
    }
    const fs::path t = fs::read_symlink(p, ec);
    if (ec) {
        return {};
    }
    return (t.is_absolute() ? t : (p.parent_path() / t)).lexically_normal().string();
}

// A ttyS is a real port when the kernel found hardware behind it: a driver other than the
// 8250 platform driver and the serial core's port driver (which claim every ttyS, with
// hardware or without), or a UART type that the driver reports. The type is in sysfs for
// every user; a device without it there is asked itself.
bool realUart(const fs::path& devRoot, const fs::path& sysTty, const std::string& name) {
    std::error_code ec;
    const fs::path driver = sysTty / name / "device" / "driver";
    if (fs::exists(driver, ec)) {
        const std::string drv = fs::read_symlink(driver, ec).filename().string();
        if (!ec && drv != "serial8250" && drv != "port") {
            return true;
        }
    }
    if (std::ifstream typeFile(sysTty / name / "type"); typeFile) {
        int type = PORT_UNKNOWN;
        return typeFile >> type && type != PORT_UNKNOWN;
    }
    const int fd = ::open((devRoot / name).c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY; // held by a program (this one, maybe): there is a port
    }
    serial_struct info{};
    const bool known = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}

// Why this user cannot open `path` (links followed), or empty: the group that may.
std::string deniedReason(const std::string& path) {
    if (::access(path.c_str(), R_OK | W_OK) == 0 || (errno != EACCES && errno != EPERM)) {
        return {};
    }
    const auto owners = OwnershipOf(path);
    return owners ? "permission denied: group " + owners->Group : "permission denied";
}

SerialPortEntry entry(SerialPortEntry::Kind kind, std::string path, std::string name,
                      std::string target = {}) {
    std::string denied = deniedReason(path);
    return {kind, std::move(path), std::move(name), std::move(target), std::move(denied)};
}

} // namespace

std::string ByIdName(const std::string& fileName) {
    std::string n = fileName;
    for (const char* bus : {"usb-", "pci-", "platform-"}) {
        if (n.starts_with(bus)) {
            n.erase(0, std::char_traits<char>::length(bus));
            break;
        }
    }
    static const std::regex suffix("(-if[0-9]+)?(-port[0-9]+)?$");
    n = std::regex_replace(n, suffix, "");
    std::replace(n.begin(), n.end(), '_', ' ');
    return n.empty() ? fileName : n;
}

std::vector<SerialPortEntry> ListSerialPorts(const std::string& root, const std::string& workdir) {
    const fs::path dev = fs::path(root) / "dev";
    const fs::path sysTty = fs::path(root) / "sys" / "class" / "tty";
    std::vector<SerialPortEntry> out;
    const fs::path byId = dev / "serial" / "by-id";
    for (const std::string& n : namesIn(byId, std::regex(".+"))) {
        out.push_back(entry(SerialPortEntry::Kind::ById, (byId / n).string(), ByIdName(n),
                            linkTarget(byId / n)));
    }
    for (const auto& [kind, pattern] : {std::pair{SerialPortEntry::Kind::Usb, "ttyUSB[0-9]+"},
                                        std::pair{SerialPortEntry::Kind::Acm, "ttyACM[0-9]+"}}) {
        for (const std::string& n : namesIn(dev, std::regex(pattern))) {
            out.push_back(entry(kind, (dev / n).string(), n));
        }
    }
    for (const std::string& n : namesIn(dev, std::regex("ttyS[0-9]+"))) {
        if (realUart(dev, sysTty, n)) {
            out.push_back(entry(SerialPortEntry::Kind::Uart, (dev / n).string(), n));
        }
    }
    for (const std::string& n : namesIn(workdir, std::regex("COM[0-9]+"))) {
        const fs::path p = fs::path(workdir) / n;
        out.push_back(
            entry(SerialPortEntry::Kind::Link, workdir == "." ? n : p.string(), n, linkTarget(p)));
    }
    return out;
}

} // namespace myrl
