// The list of serial ports over a device tree that the input makes: /dev entries (ttyUSB,
// ttyACM, ttyS and other names; files stand for devices), /dev/serial/by-id links, the
// drivers behind ttyS entries under /sys/class/tty, and the working folder's COM entries
// (links to devices, links to nothing, plain files, folders). Each entry takes four bytes
// of the input: what it is, how many digits its name ends in, a seed for the digits, and a
// variant. Properties: the listing never throws; it lists the groups in their order (by-id,
// ttyUSB, ttyACM, ttyS, COM), each sorted by the number its names end in; every ttyUSB,
// ttyACM and COM name made is listed once, and nothing else; a ttyS is listed exactly when
// a driver of real hardware stands behind it; a by-id entry carries its readable name and
// where it leads.
//
// Names end in up to 24 digits: more than a 64-bit integer holds, which the listing must
// order (by the digits as text) and never fail on.
#include "FuzzSupport.h"
#include "SerialPorts.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

constexpr int kMaxDigits = 24;

// A folder of this process's own for the trees, on a memory file system where there is one.
const fs::path& Base() {
    static const fs::path base = [] {
        std::string pattern =
            (fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
            "myrl-fuzz-ports-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(Base(), ec);
        });
        return fs::path(pattern);
    }();
    return base;
}

void Touch(const fs::path& p) {
    std::ofstream(p, std::ios::binary) << "";
}

// The number a name ends in, as text without leading zeros, for ordering.
std::string Number(const std::string& name) {
    size_t i = name.size();
    while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') {
        --i;
    }
    std::string digits = name.substr(i);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    return digits;
}

bool NumberLess(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path root = Base() / "root";
    const fs::path dev = root / "dev";
    const fs::path byId = dev / "serial" / "by-id";
    const fs::path tty = root / "sys" / "class" / "tty";
    const fs::path drivers = root / "sys" / "bus" / "drivers";
    const fs::path work = Base() / "work";
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::remove_all(work, ec);
    fs::create_directories(byId);
    fs::create_directories(work);
    for (const char* d : {"serial8250", "port", "pnp_serial", "usbserial"}) {
        fs::create_directories(drivers / d);
    }

    std::map<SerialPortEntry::Kind, std::set<std::string>> made; // names listed by kind
    std::set<std::string> realUarts;
    std::map<std::string, std::string> byIdTarget;
    fuzz::Reader in(data, size);
    for (int entries = 0; in.Left() > 0 && entries < 64; ++entries) {
        const auto what = in.Take<uint8_t>();
        const int digits = in.Take<uint8_t>() % (kMaxDigits + 1);
        uint32_t seed = in.Take<uint8_t>() * 2654435761u;
        const auto variant = in.Take<uint8_t>();
        std::string number;
        for (int i = 0; i < digits; ++i) {
            number += static_cast<char>('0' + (seed >> 7) % 10);
            seed = seed * 1103515245u + 12345u;
        }
        switch (what % 6) {
        case 0:
        case 1: {
            const std::string name = (what % 6 == 0 ? "ttyUSB" : "ttyACM") + number;
            Touch(dev / name);
            if (!number.empty()) {
                made[what % 6 == 0 ? SerialPortEntry::Kind::Usb : SerialPortEntry::Kind::Acm]
                    .insert(name);
            }
            break;
        }
        case 2: {
            const std::string name = "ttyS" + number;
            Touch(dev / name);
            const char* driver[] = {nullptr, "serial8250", "port", "pnp_serial", "usbserial"};
            const char* d = driver[variant % 5];
            if (d != nullptr && !fs::exists(tty / name, ec)) {
                fs::create_directories(tty / name / "device");
                fs::create_symlink(drivers / d, tty / name / "device" / "driver", ec);
            }
            if (!number.empty()) {
                const fs::path link = tty / name / "device" / "driver";
                if (fs::is_symlink(link, ec)) {
                    const std::string drv = fs::read_symlink(link, ec).filename().string();
                    if (drv != "serial8250" && drv != "port") {
                        realUarts.insert(name);
                    }
                }
            }
            break;
        }
        case 3: {
            std::string name = "usb-Maker_" + number + "-if0" + std::to_string(variant % 3);
            fs::create_symlink("../../ttyUSB" + number, byId / name, ec);
            if (!ec) {
                made[SerialPortEntry::Kind::ById].insert(name);
                byIdTarget[name] = (dev / ("ttyUSB" + number)).string();
            }
            break;
        }
        case 4: {
            const std::string name = "COM" + number;
            if (fs::exists(fs::symlink_status(work / name, ec))) {
                break;
            }
            switch (variant % 4) {
            case 0:
                fs::create_symlink("/dev/ttyUSB" + number, work / name);
                break;
            case 1:
                fs::create_symlink("nowhere", work / name);
                break;
            case 2:
                Touch(work / name);
                break;
            default:
                fs::create_directory(work / name);
                break;
            }
            if (!number.empty()) {
                made[SerialPortEntry::Kind::Link].insert(name);
            }
            break;
        }
        default:
            Touch(dev / ((variant % 2 ? "tty" : "console") + number));
            break;
        }
    }

    const std::vector<SerialPortEntry> list = ListSerialPorts(root.string(), work.string());

    std::map<SerialPortEntry::Kind, std::vector<std::string>> listed;
    for (size_t i = 0; i < list.size(); ++i) {
        const SerialPortEntry& e = list[i];
        FUZZ_CHECK(i == 0 || static_cast<int>(list[i - 1].kind) <= static_cast<int>(e.kind));
        const std::string name = fs::path(e.Path).filename().string();
        auto& names = listed[e.kind];
        if (e.kind != SerialPortEntry::Kind::ById && !names.empty()) {
            FUZZ_CHECK(!NumberLess(Number(name), Number(names.back())));
        }
        names.push_back(name);
        if (e.kind == SerialPortEntry::Kind::ById) {
            FUZZ_CHECK(e.Name == ByIdName(name));
            FUZZ_CHECK(e.Target == byIdTarget[name]);
        }
    }
    for (const auto kind : {SerialPortEntry::Kind::ById, SerialPortEntry::Kind::Usb,
                            SerialPortEntry::Kind::Acm, SerialPortEntry::Kind::Link}) {
        const std::vector<std::string>& names = listed[kind];
        FUZZ_CHECK(std::set<std::string>(names.begin(), names.end()) == made[kind]);
        FUZZ_CHECK(names.size() == made[kind].size());
    }
    const std::vector<std::string>& uarts = listed[SerialPortEntry::Kind::Uart];
    FUZZ_CHECK(std::set<std::string>(uarts.begin(), uarts.end()) == realUarts);
    return 0;
}
