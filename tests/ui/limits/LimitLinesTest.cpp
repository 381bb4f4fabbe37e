// Limit lines in the windows against the simulator's band-pass model: the verdict shown large
// in its colour, the mask drawn on Graph1 only while it is on, a table to edit, a mask around
// the memory, and the marker functions over the span's points only.
#include "LimitsFixture.h"

#include "Draw.h"
#include "TGraph.h"
#include "TestData.h"
#include "Widgets.h"

#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <span>

namespace myrl {
namespace {

const std::string kMaskFile = TestDataPath("limits-v1.myrllim");

TEST_F(LimitsUiTest, TheBandpassPassesItsMaskFailsItTightenedAndFailsACrossingBetweenPoints) {
    StartBandpass();
    Tools().Open();
    ASSERT_TRUE(Limits().LoadLimits(kMaskFile));
    EXPECT_EQ(Limits().VerdictText(), "--") << "off until turned on";
    Limits().SetOn(true);
    RunUntilJudged();
    ASSERT_TRUE(Core().Verdict());
    EXPECT_EQ(Core().Verdict()->Kind, VerdictKind::Pass) << VerdictLine(*Core().Verdict());
    auto* verdict = Control<QLabel>(Tools(), "Verdict");
    EXPECT_EQ(verdict->text(), "PASS");
    EXPECT_GE(verdict->font().pixelSize(), 40) << "read from a step away";
    EXPECT_EQ(verdict->palette().color(QPalette::Window), QColor(0, 150, 0));
    EXPECT_NE(Control<QLabel>(Tools(), "VerdictDetail")->text().indexOf("Worst margin"), -1);
    EXPECT_EQ(Core().Status().Line(StatusTopic::Limits).rfind("limits: PASS, worst margin ", 0),
              0u);
    EXPECT_NE(Control<QLabel>(Tools(), "Status")->text().indexOf("limits: PASS"), -1);
    EXPECT_GT(Count(LimitColour), 300) << "the mask is drawn";
    EXPECT_EQ(Count(LimitFailColour), 0);

    // Tightened by half a decibel: FAIL, where the model itself comes closest to the mask.
    const LimitSet tight = Tightened(BandpassMask(), 0.5);
    Limits().SetLimits(tight);
    ASSERT_TRUE(Core().Verdict());
    EXPECT_EQ(Core().Verdict()->Kind, VerdictKind::Fail);
    EXPECT_EQ(verdict->text(), "FAIL");
    EXPECT_EQ(verdict->palette().color(QPalette::Window), QColor(210, 0, 0));
    const auto [modelMargin, modelHz] = ModelWorstMargin(tight, Config.Unit.Device);
    EXPECT_LT(modelMargin, 0);
    EXPECT_NEAR(Core().Verdict()->WorstHz, modelHz, Spacing());
    RecordProperty("worst_hz", std::to_string(Core().Verdict()->WorstHz));
    RecordProperty("model_worst_hz", std::to_string(modelHz));
    RecordProperty("point_spacing_hz", std::to_string(Spacing()));
    RecordProperty("worst_margin_db", std::to_string(Core().Verdict()->WorstMargin));
    RecordProperty("failing_points", std::to_string(Core().Verdict()->Failing()));
    EXPECT_GT(Count(LimitFailColour), 8) << "the points outside in their own colour";
    RunUntilJudged(); // the next sweep judges the same
    EXPECT_EQ(Core().Verdict()->Kind, VerdictKind::Fail);

    // A limit crossed between two points only.
    const auto n = static_cast<size_t>(State().SweepSteps + 1);
    const auto crossed =
        CrossedBetweenPoints(std::span<const double>(State().FreqAxis.data(), n),
                             std::span<const double>(State().NormLevel.data(), n), 50);
    ASSERT_TRUE(crossed);
    Limits().SetLimits(*crossed);
    ASSERT_TRUE(Core().Verdict());
    EXPECT_EQ(Core().Verdict()->Kind, VerdictKind::Fail);
    EXPECT_EQ(Core().Verdict()->Tested, 2);
    EXPECT_EQ(Core().Verdict()->Failing(), 1);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

// Limits off: every pixel of the display window as in a run that never touched them.
TEST_F(LimitsUiTest, WithTheLimitsOffTheDisplayIsAsInARunThatNeverTouchedThem) {
    StartBandpass();
    ASSERT_FALSE(P->ToolsMade());
    const QImage never = Form2().grab().toImage();
    P.reset();

    StartAndHold();
    Tools().Open();
    ASSERT_TRUE(Limits().LoadLimits(kMaskFile));
    Limits().SetOn(true);
    Limits().SetLimits(Tightened(BandpassMask(), 0.5));
    EXPECT_GT(Count(LimitColour), 0);
    EXPECT_GT(Count(LimitFailColour), 0);
    Limits().SetOn(false);
    EXPECT_EQ(Count(LimitColour), 0);
    EXPECT_EQ(Count(LimitFailColour), 0);
    Tools().hide();
    EXPECT_TRUE(Form2().grab().toImage() == never);
}

TEST_F(LimitsUiTest, TheTableIsEditedInTheLocalesNumbersAndABadCellChangesNothing) {
    StartBandpass();
    Tools().Open();
    Limits().SetLimits(BandpassMask());
    auto* table = Control<QTableWidget>(Tools(), "LimitTable");
    ASSERT_EQ(table->rowCount(), 5);
    EXPECT_EQ(table->item(2, 1)->text(), "lower");
    EXPECT_EQ(table->item(2, 2)->text(), "10651500");
    EXPECT_EQ(table->item(4, 0)->checkState(), Qt::Unchecked);
    const QString point = QLocale().decimalPoint();
    table->item(2, 3)->setText("-2" + point + "5");
    EXPECT_EQ(Core().Limits().Segments[2].V1, -2.5);
    table->item(2, 4)->setText("10.7485M");
    EXPECT_EQ(Core().Limits().Segments[2].F2, 10748500);
    table->item(4, 0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(Core().Limits().Segments[4].On);
    EXPECT_TRUE(Limits().Problem().isEmpty());

    const LimitSet before = Core().Limits();
    table->item(1, 1)->setText("above");
    EXPECT_NE(Limits().Problem().indexOf("Row 2: the limit is \"upper\" or \"lower\""), -1);
    EXPECT_EQ(Core().Limits(), before);
    table->item(1, 1)->setText("upper");
    table->item(0, 5)->setText("-4O");
    EXPECT_NE(Limits().Problem().indexOf("Row 1: '-4O' is not a number"), -1);
    EXPECT_EQ(Core().Limits(), before);
    EXPECT_TRUE(Errors.empty());

    // Saved and loaded back as a file; a foreign file is refused naming its line.
    const std::string path = (Dir / "mask.myrllim").string();
    table->item(0, 5)->setText("-40");
    ASSERT_TRUE(Limits().SaveLimits(path));
    EXPECT_EQ(ReadLimitFile(path), Core().Limits());
    WriteFile("other.myrllim", "MYRL limits 1\nview level\nupper,1,2,3\n");
    EXPECT_FALSE(Limits().LoadLimits((Dir / "other.myrllim").string()));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(ErrorDetails[0].find("Line 3 of the limits file"), std::string::npos)
        << ErrorDetails[0];
    EXPECT_EQ(ReadLimitFile(path), Core().Limits()) << "the limits in force are unchanged";
}

TEST_F(LimitsUiTest, AMaskAroundTheMemory) {
    StartBandpass();
    Tools().Open();
    EXPECT_FALSE(Limits().FromMemory(1.0));
    ASSERT_EQ(Errors.size(), 1u);
    Errors.clear();
    Tools().StoreTrace();
    ASSERT_TRUE(Limits().FromMemory(1.0));
    EXPECT_EQ(Core().Limits().Segments.size(), 2u * static_cast<size_t>(State().MemPoints - 1));
    Limits().SetOn(true);
    ASSERT_TRUE(Core().Verdict());
    EXPECT_EQ(Core().Verdict()->Kind, VerdictKind::Pass);
    EXPECT_NEAR(Core().Verdict()->WorstMargin, 1.0, 1e-9);
}

// The marker functions move a marker as a drag to that column would, over the points of the
// span; Graph1 keeps its two markers.
TEST_F(LimitsUiTest, MarkerFunctionsOnTheBandpass) {
    StartBandpass();
    Tools().Open();
    MarkerFunctions& m = Markers();
    const auto [lower, upper] = sim::BandpassEdgesHz(10.7e6, 100e3);
    const GraphPlot& g = Plot();
    const double column = (g.Xmax - g.Xmin) / (g.Width() - 1);
    auto x = [&](int marker) {
        return (marker == 1 ? State().Marker1X : State().Marker2X) * column + g.Xmin;
    };
    const double near = Spacing() + column;

    m.SetMarker(1);
    ASSERT_TRUE(m.Move(MarkerFunctions::Function::Peak));
    EXPECT_NEAR(x(1), 10.7e6, near);
    m.SetExcursion(3);
    EXPECT_FALSE(m.Move(MarkerFunctions::Function::NextPeak)) << "one peak only";
    m.SetLevel(-3);
    ASSERT_TRUE(m.Move(MarkerFunctions::Function::CrossingLeft));
    EXPECT_NEAR(x(1), lower, near);
    const QString fl = DisplayControl<QLabel>("F_disp1")->text();
    // A drag to that column reads the same.
    const int32_t col = State().Marker1X;
    auto* graph1 = DisplayControl<TGraph>("Graph1");
    QTest::mousePress(graph1, Qt::LeftButton, {}, QPoint(col, 100));
    QTest::mouseMove(graph1, QPoint(col, 101));
    QTest::mouseRelease(graph1, Qt::LeftButton, {}, QPoint(col, 101));
    EXPECT_EQ(State().Marker1X, col);
    EXPECT_EQ(DisplayControl<QLabel>("F_disp1")->text(), fl);

    m.SetMarker(2);
    ASSERT_TRUE(m.Move(MarkerFunctions::Function::Peak));
    ASSERT_TRUE(m.Move(MarkerFunctions::Function::CrossingRight));
    EXPECT_NEAR(x(2), upper, near);
    // From there the next crossing to the right: none.
    EXPECT_FALSE(m.Move(MarkerFunctions::Function::CrossingRight));
    ASSERT_TRUE(m.Move(MarkerFunctions::Function::Minimum));
    EXPECT_TRUE(State().Marker2X == 0 || State().Marker2X == 448) << "the skirt's far end";

    // Marker 2 back on the upper edge: the difference reads about 0 dB and the bandwidth.
    ASSERT_TRUE(m.Move(MarkerFunctions::Function::Peak));
    ASSERT_TRUE(m.Move(MarkerFunctions::Function::CrossingRight));
    m.Refresh();
    // "Marker 2 − marker 1:  <level> dB,  <frequency> Hz" in the locale's numbers.
    const std::string text = m.DeltaText().toStdString();
    const size_t colon = text.find(":  ");
    const size_t db = text.find(" dB");
    ASSERT_TRUE(colon != std::string::npos && db != std::string::npos) << text;
    std::string level = text.substr(colon + 3, db - colon - 3);
    std::replace(level.begin(), level.end(), LocaleDecimalSeparator(), '.');
    std::string hz;
    for (char c : text.substr(db, text.find(" Hz") - db)) {
        if ((c >= '0' && c <= '9') || c == '-') {
            hz += c;
        }
    }
    EXPECT_NEAR(std::stod(level), 0, 0.8) << text;
    EXPECT_NEAR(std::stod(hz), upper - lower, 2 * near) << text;
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

// A plan ending just below the band-pass's lower edge: the trace rises beyond STOP. Peaks
// and minima are those of the points 0 .. 250, never above STOP.
TEST_F(LimitsUiTest, NoPeakOrMinimumIsReportedAboveStop) {
    StartBandpass(10.57e6, 140e3); // 10.5 - 10.64 MHz
    ASSERT_GT(State().NormLevel[255], State().NormLevel[250] + 0.5) << "rising beyond STOP";
    Tools().Open();
    const auto r = Tools().Readout();
    ASSERT_TRUE(r);
    EXPECT_LE(r->PeakHz, State().StopFreq);
    EXPECT_LE(r->MinHz, State().StopFreq);
    EXPECT_EQ(r->PeakHz, State().FreqAxis[250]);
    EXPECT_NE(
        Control<QLabel>(Tools(), "Readout")->text().indexOf(QString::fromUtf8("points 0–250")), -1);
    for (auto f : {MarkerFunctions::Function::Peak, MarkerFunctions::Function::Minimum}) {
        const auto hz = Markers().Target(f);
        ASSERT_TRUE(hz);
        EXPECT_LE(*hz, State().StopFreq);
    }
    ASSERT_TRUE(Tools().MoveMarker(2, ToolsWindow::Target::Peak));
    EXPECT_EQ(State().Marker2X, Plot().Width() - 1) << "on the chart's last column, not beyond";
}

} // namespace
} // namespace myrl
