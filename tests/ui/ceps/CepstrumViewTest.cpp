// The delay view on the real windows: the CEPSTRUM box rearranges the display window,
// and each completed sweep while it is ticked scales and draws Graph2.
#include "ProgramFixture.h"

#include "DeviceModels.h"
#include "Rnd.h"
#include "TGraph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <cmath>
#include <vector>

using namespace myrl;

namespace {

constexpr uint32_t kGreen = 0x0000FF00; // TraceClr

class CepstrumViewTest : public ProgramTest {
protected:
    void Start() {
        StartSimulator();
        StartProgram();
        ASSERT_TRUE(Errors.empty()) << Errors.front();
    }

    void ClickCeps() { QTest::mouseClick(PanelControl<QCheckBox>("CEPS"), Qt::LeftButton); }

    // `text` (with full stops) as the locale writes it.
    static QString LocalText(const QString& text) {
        return QString::fromStdString(Local(text.toStdString()));
    }
    // Runs the cycle until Graph2's scale label reads `caption`, in the locale's way.
    bool WaitForCaption(const QString& caption) {
        return WaitUntil(
            [&] { return DisplayControl<QLabel>("DelayDiv")->text() == LocalText(caption); });
    }
    // EnterPlan with the numbers typed as the locale writes them.
    void EnterLocalPlan(const QString& fdef, const QString& edit1, const QString& edit2) {
        EnterPlan(fdef, LocalText(edit1), LocalText(edit2));
    }

    const GraphPlot& Chart2() { return DisplayControl<TGraph>("Graph2")->plot(); }

    // Pixels of the trace colour on Graph2, as (column, row).
    std::vector<std::pair<int, int>> TracePixels() {
        const GraphPlot& g = Chart2();
        std::vector<std::pair<int, int>> px;
        for (int y = 0; y < g.Height(); ++y) {
            for (int x = 0; x < g.Width(); ++x) {
                if (g.canvas().Pixel(x, y) == kGreen) {
                    px.emplace_back(x, y);
                }
            }
        }
        return px;
    }

    std::vector<uint32_t> Picture() {
        const GraphPlot& g = Chart2();
        const uint32_t* bits = g.canvas().Bits();
        return {bits, bits + static_cast<size_t>(g.canvas().Width()) * g.canvas().Height()};
    }
};

struct Place {
    QRect Graph1;
    QPoint Hdiv, Label11, SWRmax, Ref;
    bool Graph2, Label10, Label12, DelayDiv, Delay, Label11Shown;
};

Place Layout(TForm2& f) {
    auto label = [&f](const char* name) { return Control<QLabel>(f, name); };
    return {Control<TGraph>(f, "Graph1")->geometry(),
            label("Hdiv")->pos(),
            label("Label11")->pos(),
            label("SWRmax")->pos(),
            label("Ref")->pos(),
            Control<TGraph>(f, "Graph2")->isVisible(),
            label("Label10")->isVisible(),
            label("Label12")->isVisible(),
            label("DelayDiv")->isVisible(),
            label("Delay")->isVisible(),
            label("Label11")->isVisible()};
}

} // namespace

TEST_F(CepstrumViewTest, TickingAndUntickingAlternatesBetweenTwoLayouts) {
    Start();
    const Place off = Layout(Form2());
    EXPECT_EQ(off.Graph1, QRect(32, 46, 449, 283));
    EXPECT_FALSE(off.Graph2 || off.Label10 || off.Label12 || off.DelayDiv || off.Delay);
    EXPECT_TRUE(off.Label11Shown);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ClickCeps();
        ASSERT_TRUE(PanelControl<QCheckBox>("CEPS")->isChecked());
        const Place on = Layout(Form2());
        EXPECT_EQ(on.Graph1, QRect(32, 186, 449, 143));
        EXPECT_EQ(DisplayControl<TGraph>("Graph1")->plot().Height(),
                  143); // the chart follows the widget
        EXPECT_EQ(on.Hdiv, off.Hdiv + QPoint(0, 140));
        EXPECT_EQ(on.Label11, off.Label11 + QPoint(0, 140));
        EXPECT_EQ(on.SWRmax, off.SWRmax + QPoint(0, 140));
        // Ref beside the reference grid line of the shorter chart (Refpos item 1).
        EXPECT_EQ(on.Ref, QPoint(off.Ref.x(), rnd(1 * (143.0 / 10) + 186) - 5));
        EXPECT_TRUE(on.Graph2 && on.Label10 && on.Label12 && on.DelayDiv && on.Delay);
        EXPECT_TRUE(on.Label11Shown);
        EXPECT_EQ(DisplayControl<TGraph>("Graph2")->geometry(), QRect(32, 46, 449, 89));

        ClickCeps();
        ASSERT_FALSE(PanelControl<QCheckBox>("CEPS")->isChecked());
        const Place back = Layout(Form2());
        EXPECT_EQ(back.Graph1, off.Graph1);
        EXPECT_EQ(back.Hdiv, off.Hdiv);
        EXPECT_EQ(back.Label11, off.Label11);
        EXPECT_EQ(back.SWRmax, off.SWRmax);
        EXPECT_EQ(back.Ref, off.Ref);
        EXPECT_FALSE(back.Graph2 || back.Label10 || back.Label12 || back.DelayDiv || back.Delay);
        EXPECT_TRUE(back.Label11Shown);
    }
    EXPECT_TRUE(Errors.empty());
}

// The simulated thru device is flat to the detector's resolution in each plan, so every
// magnitude is 0: the scale collapses to -1 .. 0 and the trace runs along the top edge.
// The delay axis follows the point spacing.
TEST_F(CepstrumViewTest, FlatCurveScaleAndDelayAxisFollowThePointSpacing) {
    struct Case {
        const char* Fdef;
        const char* Edit1;
        const char* Edit2;
        double Xmax; // 1 / (4 * point spacing)
        const char* DelayDiv;
    };
    const Case cases[] = {
        // 250 tuning steps of 16 Hz: 4 kHz apart.
        {"START/STOP", "0", "1M", 1 / (4 * 4000.0), "6.250E-6 sec/div"},
        {"CENTER/SPAN", "10.7M", "100k", 1 / (4 * 400.0), "6.250E-5 sec/div"},
        // Percent of the sweep time, 0.4 apart.
        {"ZERO SPAN", "", "", 0.625, "6.250E-2 sec/div"},
    };
    Start();
    ClickCeps();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DelayDiv);
        EnterLocalPlan(c.Fdef, c.Edit1, c.Edit2);
        ASSERT_TRUE(WaitForCaption(c.DelayDiv))
            << DisplayControl<QLabel>("DelayDiv")->text().toStdString();
        const GraphPlot& g = Chart2();
        EXPECT_EQ(g.Xmin, 0);
        EXPECT_DOUBLE_EQ(g.Xmax, c.Xmax);
        EXPECT_EQ(g.Ymax, 0);
        EXPECT_EQ(g.Ymin, -1);
        const auto px = TracePixels();
        ASSERT_GT(px.size(), static_cast<size_t>(g.Width() - 5));
        for (const auto& [x, y] : px) {
            ASSERT_EQ(y, 0) << "trace pixel off the top edge at column " << x;
        }
    }
    EXPECT_TRUE(Errors.empty());
}

// A cable terminated off its impedance ripples with the period 1 / round-trip delay; the
// highest point drawn on Graph2 sits at that delay, nine tenths up the chart.
TEST_F(CepstrumViewTest, CablePeakLiesAtItsRoundTripDelay) {
    Config.Unit.Device.Kind = sim::DeviceKind::Cable;
    Config.Unit.Device.CableLengthM = 100; // about 1 us: ripple period about 1 MHz
    const double tau = sim::CableRoundTripSeconds(Config.Unit.Device);
    Start();
    ClickCeps();
    // 1 .. 11 MHz: ten ripple periods at 40 kHz spacing; the delay axis reaches 6.25 us.
    EnterLocalPlan("START/STOP", "1M", "11M");
    ASSERT_TRUE(WaitForCaption("6.250E-7 sec/div"));

    const GraphPlot& g = Chart2();
    const auto px = TracePixels();
    ASSERT_FALSE(px.empty());
    int top = g.Height();
    for (const auto& p : px) {
        top = std::min(top, p.second);
    }
    double sum = 0;
    int n = 0;
    for (const auto& [x, y] : px) {
        if (y == top) {
            sum += x;
            ++n;
        }
    }
    const double column = sum / n;
    const double delay = column / (g.Width() - 1) * (g.Xmax - g.Xmin); // as the Delay readout
    const double bin = g.Xmax / 1024;
    const double pixel = g.Xmax / (g.Width() - 1); // a column spans more than two bins
    EXPECT_NEAR(delay, tau, bin + pixel / 2) << "peak column " << column;
    // Ymax = peak / 0.9 over Ymin = -1: the peak is drawn about a tenth of the way down.
    EXPECT_NEAR(top, 0.1 * (g.Height() - 1), 2);
    EXPECT_TRUE(Errors.empty());
}

// A plan with a zero tuning step outside zero span (reachable only through the state, the
// entry fields turn equal limits into zero span) gives no point spacing: the view keeps
// the last cepstrum instead of dividing by zero.
TEST_F(CepstrumViewTest, ZeroPointSpacingLeavesTheViewAsItWas) {
    Start();
    ClickCeps();
    EnterLocalPlan("CENTER/SPAN", "10.7M", "100k");
    ASSERT_TRUE(WaitForCaption("6.250E-5 sec/div"));

    State().StopFreq = State().StartFreq;
    ASSERT_FALSE(State().ZeroSpan);
    ASSERT_TRUE(WaitUntil([&] { return State().FreqAxis[1] == State().FreqAxis[0]; }));
    ASSERT_EQ(State().StepWord, 0);
    const std::vector<uint32_t> picture = Picture();
    const double ymax = Chart2().Ymax;

    const uint64_t commands = Sim->Stats().Commands;
    ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= commands + 2; }));
    EXPECT_EQ(State().FreqAxis[1], State().FreqAxis[0]); // the plan still has no spacing
    EXPECT_EQ(DisplayControl<QLabel>("DelayDiv")->text(), LocalText("6.250E-5 sec/div"));
    EXPECT_EQ(Chart2().Xmin, 0);
    EXPECT_DOUBLE_EQ(Chart2().Xmax, 1 / (4 * 400.0));
    EXPECT_EQ(Chart2().Ymax, ymax);
    EXPECT_TRUE(Picture() == picture) << "Graph2 was redrawn";
    EXPECT_TRUE(Errors.empty());
}
