// Where the windows go: a placement the screens cannot show is brought onto them, and a
// panel width that cannot be shown is the layout's; through the rules and the real program.
// And the display window, which the window system cannot close.
#include "ProgramFixture.h"

#include "WindowFrames.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest/qtestspontaneevent.h>

#include <climits>
#include <cstdlib>

using namespace myrl;

namespace {

const QRect kScreen(0, 0, 1280, 1024);
const QRect kRightScreen(1280, 0, 1920, 1080);

struct Onto {
    const char* name;
    QPoint corner;
    QSize size;
    QList<QRect> screens;
    QPoint want;
};

class OntoNearestScreenTest : public ::testing::TestWithParam<Onto> {};

TEST_P(OntoNearestScreenTest, MovesOnlyWhatNoScreenShows) {
    const Onto& c = GetParam();
    EXPECT_EQ(OntoNearestScreen(c.corner, c.size, c.screens), c.want);
}

const QSize kPanel(265, 337);

INSTANTIATE_TEST_SUITE_P(
    Placement, OntoNearestScreenTest,
    ::testing::Values(
        Onto{"Inside", {30, 40}, kPanel, {kScreen}, {30, 40}},
        Onto{"PartlyOffLeftStays", {-200, -10}, kPanel, {kScreen}, {-200, -10}},
        Onto{"LastColumnOnScreenStays", {1279, 0}, kPanel, {kScreen}, {1279, 0}},
        Onto{"FirstColumnOffScreenMoves", {1280, 0}, kPanel, {kScreen}, {1015, 0}},
        Onto{"AboveComesDown", {100, -337}, kPanel, {kScreen}, {100, 0}},
        Onto{"LargestIntegers", {INT_MAX, INT_MAX}, kPanel, {kScreen}, {1015, 687}},
        Onto{"SmallestIntegers", {INT_MIN, INT_MIN}, kPanel, {kScreen}, {0, 0}},
        Onto{"NearestOfTwo", {4000, 100}, kPanel, {kScreen, kRightScreen}, {2935, 100}},
        Onto{"GapBetweenScreensOnTheNearer",
             {100, 1100},
             kPanel,
             {kScreen, kRightScreen},
             {100, 687}},
        Onto{"LargerThanTheScreen", {5000, 5000}, QSize(2000, 2000), {kScreen}, {0, 0}},
        Onto{"NoScreens", {INT_MAX, 5}, kPanel, {}, {INT_MAX, 5}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShowableWidthTest, FromOnePixelToTheScreensSpan) {
    const QList<QRect> two{kScreen, kRightScreen};
    const struct {
        int width;
        bool showable;
    } cases[] = {{INT_MIN, false}, {-5, false},   {0, false},        {1, true},       {265, true},
                 {3200, true},     {3201, false}, {16777215, false}, {INT_MAX, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(ShowableWidth(c.width, two), c.showable) << c.width;
    }
    EXPECT_FALSE(ShowableWidth(1281, {kScreen}));
}

// X11 where Qt would take Wayland and an X display answers, unless something names the
// platform; the X display is asked only then.
TEST(ChoosePlatformTest, X11WhereQtWouldTakeWaylandThoughXAnswers) {
    const struct {
        bool named, wayland, xAnswers;
        const char* chosen;
        bool xAsked;
    } cases[] = {
        {false, true, true, "xcb", true},     // Xwayland
        {false, true, false, nullptr, true},  // Wayland alone
        {false, false, true, nullptr, false}, // X11 alone: Qt takes it anyway
        {false, false, false, nullptr, false},
        {true, true, true, nullptr, false}, // QT_QPA_PLATFORM or -platform: the user's choice
        {true, false, true, nullptr, false},
    };
    for (const auto& c : cases) {
        bool asked = false;
        DisplayOffer offer;
        offer.PlatformNamed = c.named;
        offer.Wayland = c.wayland;
        offer.XAnswers = [&] {
            asked = true;
            return c.xAnswers;
        };
        const char* chosen = ChoosePlatform(offer);
        EXPECT_STREQ(chosen, c.chosen) << c.named << c.wayland << c.xAnswers;
        EXPECT_EQ(asked, c.xAsked) << c.named << c.wayland << c.xAnswers;
    }
}

// Where nothing is set, nothing is asked for; QT_QPA_PLATFORM names the platform.
TEST(ChoosePlatformTest, OfferOfTheEnvironment) {
    const struct {
        const char* qpa;
        const char* wayland;
        const char* session;
        bool option;
        bool named, offered;
    } cases[] = {
        {nullptr, nullptr, nullptr, false, false, false},
        {"", "", "x11", false, false, false},
        {nullptr, "wayland-0", nullptr, false, false, true},
        {nullptr, nullptr, "wayland", false, false, true},
        {"xcb", "wayland-0", nullptr, false, true, true},
        {nullptr, "wayland-0", nullptr, true, true, true},
    };
    const auto put = [](const char* name, const char* value) {
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    };
    const std::string kept[] = {qgetenv("QT_QPA_PLATFORM").toStdString(),
                                qgetenv("WAYLAND_DISPLAY").toStdString(),
                                qgetenv("XDG_SESSION_TYPE").toStdString()};
    for (const auto& c : cases) {
        put("QT_QPA_PLATFORM", c.qpa);
        put("WAYLAND_DISPLAY", c.wayland);
        put("XDG_SESSION_TYPE", c.session);
        const DisplayOffer offer = OfferOfEnvironment(c.option);
        EXPECT_EQ(offer.PlatformNamed, c.named) << c.qpa << " " << c.option;
        EXPECT_EQ(offer.Wayland, c.offered) << c.wayland << " " << c.session;
    }
    put("QT_QPA_PLATFORM", kept[0].empty() ? nullptr : kept[0].c_str());
    put("WAYLAND_DISPLAY", kept[1].empty() ? nullptr : kept[1].c_str());
    put("XDG_SESSION_TYPE", kept[2].empty() ? nullptr : kept[2].c_str());
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += l + "\r\n";
    }
    return out;
}

std::vector<std::string> FileWith(const std::string& top, const std::string& left,
                                  const std::string& width, const std::string& top2,
                                  const std::string& left2) {
    return {"1",  "67108864", "12800000", "0",  "0",   "0",  "20000000", "OFF",
            "90", "358",      top,        left, width, top2, left2};
}

// The windows as the program shows them: both visible, each overlapping the screen, the
// panel as wide as the layout.
struct Hostile {
    const char* name;
    std::vector<std::string> lines;
};

class HostilePlacementTest : public ProgramTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostilePlacementTest, BothWindowsShowOnTheScreen) {
    WriteFile("myrl_prm.txt", Lines(GetParam().lines));
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_TRUE(WaitUntil([&] {
        return Form1().isVisible() && Form2().isVisible() &&
               Form1().frameGeometry().intersects(screen) &&
               Form2().frameGeometry().intersects(screen);
    })) << "panel "
        << Form1().frameGeometry().x() << "," << Form1().frameGeometry().y() << " display "
        << Form2().frameGeometry().x() << "," << Form2().frameGeometry().y();
    EXPECT_EQ(Form1().width(), 265);
    EXPECT_TRUE(Form1().close());
    const std::string saved = ReadFile("myrl_prm.txt");
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = saved.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(saved.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 15u) << saved;
    EXPECT_EQ(lines[12], "265");
}

INSTANTIATE_TEST_SUITE_P(
    Placement, HostilePlacementTest,
    ::testing::Values(Hostile{"WidthZero", FileWith("0", "0", "0", "0", "265")},
                      Hostile{"WidthNegative", FileWith("0", "0", "-1", "0", "265")},
                      Hostile{"WidthHuge", FileWith("0", "0", "2147483647", "0", "265")},
                      Hostile{"FarBelowRight", FileWith("2147483647", "2147483647", "265",
                                                        "-2147483648", "-2147483648")},
                      Hostile{"BesideAHugePanel", FileWith("0", "0", "100000", "x", "x")}),
    [](const auto& info) { return std::string(info.param.name); });

// A close request from the window system (the window manager's close button, Alt+F4,
// WM_DELETE_WINDOW) reaches the window as a spontaneous close event: refused. The program's
// own closing at its end is not refused.
TEST_F(ProgramTest, TheDisplayRefusesTheWindowSystemsCloseRequests) {
    StartSimulator();
    StartProgram();
    QCloseEvent request;
    QSpontaneKeyEvent::setSpontaneous(&request);
    QCoreApplication::instance()->notify(&Form2(), &request); // as delivered: spontaneous
    EXPECT_FALSE(request.isAccepted());
    EXPECT_TRUE(Form2().isVisible());
    EXPECT_TRUE(Form2().close());
}

} // namespace
