// The real windows on a Wayland compositor, which places them itself and tells the program
// nothing of where they are: lines 11 to 15 of the parameter file go back as they were read,
// never a position the compositor made up; the other lines as ever. Run by
// tests/wm/wayland_test.sh under weston; elsewhere each test is skipped.
#include "ProgramFixture.h"

#include <QGuiApplication>
#include <QTest>

using namespace myrl;

namespace {

struct Placement {
    const char* name;
    std::vector<std::string> tail; // lines 11 onwards; no file at all when empty
    std::vector<std::string> written;
};

void PrintTo(const Placement& p, std::ostream* os) {
    *os << p.name;
}

const std::vector<std::string> kHead = {"1", "67108864", "12800000", "0",  "0",
                                        "0", "20000000", "OFF",      "90", "358"};

class WaylandLinesTest : public ProgramTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(WaylandLinesTest, WindowLinesGoBackAsRead) {
    if (!QGuiApplication::platformName().startsWith("wayland")) {
        GTEST_SKIP() << "on " << QGuiApplication::platformName().toStdString() << ", not Wayland";
    }
    const Placement& c = GetParam();
    if (!c.tail.empty()) {
        std::string file; // LF line ends: the close writes CR LF, so a write shows
        for (const auto& l : kHead) {
            file += l + "\n";
        }
        for (const auto& l : c.tail) {
            file += l + "\n";
        }
        WriteFile("myrl_prm.txt", file);
    }
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form1()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form2()));
    RunFor(std::chrono::milliseconds(300)); // the compositor's configure events
    EXPECT_TRUE(Form1().close());

    std::string want;
    for (const auto& l : kHead) {
        want += l + "\r\n";
    }
    for (const auto& l : c.written) {
        want += l + "\r\n";
    }
    EXPECT_EQ(ReadFile("myrl_prm.txt"), want)
        << "the windows were at " << Form1().x() << "," << Form1().y() << " and " << Form2().x()
        << "," << Form2().y();
}

INSTANTIATE_TEST_SUITE_P(
    Wayland, WaylandLinesTest,
    ::testing::Values(
        Placement{"FirstRun", {}, {"0", "0", "265", "0", "265"}},
        Placement{"Moved", {"30", "40", "265", "100", "400"}, {"30", "40", "265", "100", "400"}},
        Placement{"OffEveryScreen",
                  {"2147483647", "-5000", "265", "-2147483648", "2147483647"},
                  {"2147483647", "-5000", "265", "-2147483648", "2147483647"}},
        Placement{
            "WidthTheLayoutReplaces", {"0", "0", "0", "0", "265"}, {"0", "0", "0", "0", "265"}},
        Placement{"TwelveLines", {"30", "40"}, {"30", "40", "265", "30", "305"}},
        Placement{
            "NotIntegersInTheTail", {"30", "40", "x", " 7", ""}, {"30", "40", "x", " 7", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
