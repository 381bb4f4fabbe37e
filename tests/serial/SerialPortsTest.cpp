// The list of serial devices the Port dialog offers, on a device tree of the test's own
// making (files stand for devices; a real pseudo-terminal behind a COM link).
#include "SerialPorts.h"

#include "PtyPair.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace myrl {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "";
}

TEST(SerialPortsTest, ListsDevicesByKindWithNamesAndLinkTargets) {
    TempDir tmp("myrl-ports");
    const fs::path root = tmp.Path() / "root";
    const fs::path dev = root / "dev";
    const fs::path work = tmp.Path() / "work";
    for (const char* n : {"ttyUSB10", "ttyUSB2", "ttyUSB0", "ttyACM0", "ttyS0", "ttyS1", "ttyS2",
                          "ttyS3", "tty0", "ttyUSBx", "console"}) {
        Touch(dev / n);
    }
    fs::create_directories(dev / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB0",
                       dev / "serial" / "by-id" / "usb-Maker_Cable_X1_00AB-if00-port0");
    // ttyS0 has hardware behind it; ttyS1 and ttyS3 only the placeholders of the 8250 and
    // the serial core's drivers (and, being files here, no UART type); ttyS2 nothing at all.
    const fs::path drivers = root / "sys" / "bus" / "drivers";
    fs::create_directories(drivers / "pnp_serial");
    fs::create_directories(drivers / "serial8250");
    fs::create_directories(drivers / "port");
    fs::create_directories(root / "sys" / "class" / "tty" / "ttyS3" / "device");
    fs::create_symlink(drivers / "port", root / "sys/class/tty/ttyS3/device/driver");
    fs::create_directories(root / "sys" / "class" / "tty" / "ttyS0" / "device");
    fs::create_directories(root / "sys" / "class" / "tty" / "ttyS1" / "device");
    fs::create_symlink(drivers / "pnp_serial", root / "sys/class/tty/ttyS0/device/driver");
    fs::create_symlink(drivers / "serial8250", root / "sys/class/tty/ttyS1/device/driver");

    PtyPair unit;
    fs::create_directories(work);
    unit.Publish(work, 2);
    fs::create_symlink("/dev/ttyUSB7", work / "COM10");
    Touch(work / "COMX");
    Touch(work / "COM1.bak");

    using K = SerialPortEntry::Kind;
    struct Want {
        K kind;
        std::string path;
        std::string name;
        std::string target;
    };
    const std::vector<Want> want = {
        {K::ById, (dev / "serial/by-id/usb-Maker_Cable_X1_00AB-if00-port0").string(),
         "Maker Cable X1 00AB", (dev / "ttyUSB0").string()},
        {K::Usb, (dev / "ttyUSB0").string(), "ttyUSB0", ""},
        {K::Usb, (dev / "ttyUSB2").string(), "ttyUSB2", ""},
        {K::Usb, (dev / "ttyUSB10").string(), "ttyUSB10", ""},
        {K::Acm, (dev / "ttyACM0").string(), "ttyACM0", ""},
        {K::Uart, (dev / "ttyS0").string(), "ttyS0", ""},
        {K::Link, (work / "COM2").string(), "COM2", unit.SlavePath()},
        {K::Link, (work / "COM10").string(), "COM10", "/dev/ttyUSB7"},
    };
    const std::vector<SerialPortEntry> got = ListSerialPorts(root.string(), work.string());
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].kind, want[i].kind) << i;
        EXPECT_EQ(got[i].Path, want[i].path) << i;
        EXPECT_EQ(got[i].Name, want[i].name) << i;
        EXPECT_EQ(got[i].Target, want[i].target) << i;
    }
}

// Names ending in more digits than any integer type holds are listed like the others, in
// the order of their numbers; leading zeros do not count.
TEST(SerialPortsTest, NamesEndingInAnyNumberOfDigitsAreListedInOrder) {
    TempDir tmp("myrl-ports");
    const fs::path root = tmp.Path() / "root";
    const fs::path dev = root / "dev";
    const fs::path work = tmp.Path() / "work";
    const std::string big = "99999999999999999999";     // 20 digits: more than 64 bits hold
    const std::string bigger = "100000000000000000000"; // 21
    for (const std::string& n :
         std::vector<std::string>{"ttyUSB" + bigger, "ttyUSB" + big, "ttyUSB10", "ttyUSB007",
                                  "ttyUSB7", "ttyUSB0" + big, "ttyACM" + big + big}) {
        Touch(dev / n);
    }
    fs::create_directories(dev / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB7", dev / "serial" / "by-id" / ("usb-Maker_X-if00-port" + big));
    fs::create_symlink("../../ttyUSB7", dev / "serial" / "by-id" / "usb-Maker_X-if00-port1");
    for (const std::string& n : std::vector<std::string>{"COM" + big, "COM" + bigger, "COM2"}) {
        Touch(work / n);
    }

    std::vector<std::string> got;
    for (const SerialPortEntry& e : ListSerialPorts(root.string(), work.string())) {
        got.push_back(fs::path(e.Path).filename().string());
    }
    const std::vector<std::string> want = {"usb-Maker_X-if00-port1",
                                           "usb-Maker_X-if00-port" + big,
                                           "ttyUSB007",
                                           "ttyUSB7",
                                           "ttyUSB10",
                                           "ttyUSB0" + big,
                                           "ttyUSB" + big,
                                           "ttyUSB" + bigger,
                                           "ttyACM" + big + big,
                                           "COM2",
                                           "COM" + big,
                                           "COM" + bigger};
    EXPECT_EQ(got, want);
}

// A device this user may not open is listed all the same, saying so and naming the group
// the device belongs to; root opens everything. A ttyS whose UART type sysfs shows (to every
// user) is listed though its device cannot be opened to ask.
TEST(SerialPortsTest, DevicesThisUserMayNotOpenSayWhyWithTheirGroup) {
    TempDir tmp("myrl-ports");
    const fs::path root = tmp.Path() / "root";
    const fs::path dev = root / "dev";
    const fs::path work = tmp.Path() / "work";
    for (const char* n : {"ttyUSB0", "ttyUSB1", "ttyS0", "ttyS1"}) {
        Touch(dev / n);
    }
    fs::create_directories(work);
    fs::create_symlink(dev / "ttyUSB1", work / "COM3");
    for (const auto& [uart, type] : {std::pair{"ttyS0", "4\n"}, std::pair{"ttyS1", "0\n"}}) {
        fs::create_directories(root / "sys/class/tty" / uart);
        std::ofstream(root / "sys/class/tty" / uart / "type") << type;
    }
    for (const char* n : {"ttyUSB1", "ttyS0", "ttyS1"}) {
        fs::permissions(dev / n, fs::perms::none);
    }
    struct stat st {};
    ASSERT_EQ(::stat((dev / "ttyUSB1").c_str(), &st), 0);
    const group* g = ::getgrgid(st.st_gid);
    const std::string denied =
        ::geteuid() == 0 ? ""
                         : "permission denied: group " +
                               (g != nullptr ? std::string(g->gr_name) : std::to_string(st.st_gid));

    struct Want {
        std::string name;
        std::string denied;
    };
    const std::vector<Want> want = {
        {"ttyUSB0", ""}, {"ttyUSB1", denied}, {"ttyS0", denied}, {"COM3", denied}};
    const std::vector<SerialPortEntry> got = ListSerialPorts(root.string(), work.string());
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].Name, want[i].name) << i;
        EXPECT_EQ(got[i].Denied, want[i].denied) << got[i].Name;
    }
}

TEST(SerialPortsTest, NothingThereListsNothing) {
    TempDir tmp("myrl-ports");
    EXPECT_TRUE(
        ListSerialPorts((tmp.Path() / "none").string(), (tmp.Path() / "none").string()).empty());
}

TEST(SerialPortsTest, ReadableNamesOfByIdEntries) {
    const std::pair<const char*, const char*> cases[] = {
        {"usb-Maker_Cable_X1-if00-port0", "Maker Cable X1"},
        {"usb-Maker_Modem_123-if02", "Maker Modem 123"},
        {"pci-Card_Serial", "Card Serial"},
        {"plain", "plain"},
    };
    for (const auto& [file, name] : cases) {
        EXPECT_EQ(ByIdName(file), name) << file;
    }
}

} // namespace
} // namespace myrl
