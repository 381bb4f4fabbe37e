// Reference level (arrows and typed), reference position, the Ref label and the two
// presentations of Graph1.
#include "PanelFixture.h"

#include "UpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest/QTest>

#include <vector>

using namespace myrl;

namespace {

// Rows of the trace colour in column x.
std::vector<int> TraceRows(const GraphPlot& g, int x, uint32_t colour) {
    std::vector<int> rows;
    for (int y = 0; y < g.Height(); ++y) {
        if (g.canvas().Pixel(x, y) == colour) {
            rows.push_back(y);
        }
    }
    return rows;
}

} // namespace

TEST(UpDownTest, ReportsAClickOnlyWhenThePositionMoves) {
    UpDown u(nullptr, -2, 2);
    u.resize(17, 33);
    u.show();
    QSignalSpy clicks(&u, &UpDown::Click);
    struct Case {
        QToolButton* arrow;
        int position; // afterwards
        int reported; // clicks so far
    };
    const std::vector<Case> cases = {
        {u.UpButton(), 1, 1},    {u.UpButton(), 2, 2},    {u.UpButton(), 2, 2}, // no wrap
        {u.DownButton(), 1, 3},  {u.DownButton(), 0, 4},  {u.DownButton(), -1, 5},
        {u.DownButton(), -2, 6}, {u.DownButton(), -2, 6},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        QTest::mouseClick(cases[i].arrow, Qt::LeftButton);
        EXPECT_EQ(u.Position(), cases[i].position);
        ASSERT_EQ(clicks.size(), cases[i].reported);
    }
    EXPECT_TRUE(clicks.at(0).at(0).toBool());
    EXPECT_FALSE(clicks.at(2).at(0).toBool());
    u.SetPosition(50);
    EXPECT_EQ(u.Position(), 2);
    EXPECT_EQ(clicks.size(), 6);
}

TEST_F(PanelTest, ThreeUpperClicksLowerTheTraceByThreeTenths) {
    StartHeld();
    const MeasState before = State();
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(PanelControl<UpDown>("UpDown1")->UpButton(), Qt::LeftButton);
    }
    EXPECT_EQ(PanelControl<QLineEdit>("Reflvl")->text(), "   0.3");
    EXPECT_EQ(DisplayControl<QLabel>("Ref")->text(), "   0.3");
    EXPECT_NEAR(State().RefLevel, 0.3, 1e-12);
    EXPECT_EQ(PanelControl<UpDown>("UpDown1")->Position(), 3);
    for (int i = 0; i <= State().PointNum; ++i) {
        ASSERT_NEAR(State().DispTrace[i], before.NormLevel[i] - 0.3, 1e-9) << i;
    }
    // The picture follows at once: each point's column holds the trace at its new row.
    const GraphPlot& g = Plot();
    for (int i = 8; i < State().PointNum - 8; i += 16) {
        SCOPED_TRACE(i);
        const int x = static_cast<int>(std::lround(g.MapX(State().FreqAxis[i])));
        if (std::abs(x - State().Marker1X) < 2 || std::abs(x - State().Marker2X) < 2) {
            continue;
        }
        const int y = static_cast<int>(std::lround(g.MapY(State().DispTrace[i])));
        const auto rows = TraceRows(g, x, State().TraceClr);
        ASSERT_FALSE(rows.empty());
        EXPECT_LE(rows.front(), y + 1);
        EXPECT_GE(rows.back(), y - 1);
    }
    QTest::mouseClick(PanelControl<UpDown>("UpDown1")->DownButton(), Qt::LeftButton);
    EXPECT_EQ(PanelControl<QLineEdit>("Reflvl")->text(), "   0.2");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(PanelTest, TypedReferenceLevelIsLimitedAndFormatted) {
    StartHeld();
    struct Case {
        const char* typed;
        const char* shown;
        double level;
        int position; // of the arrows afterwards
    };
    const std::vector<Case> cases = {
        {"150", "  99.9", 99.9, 1000}, // 1500 steps asked, the arrows stop at 1000
        {"-100", " -99.9", -99.9, -1000}, {"-12.5", " -12.5", -12.5, -125},
        {"99.99", " 100.0", 99.99, 1000}, // below 100: kept, shown rounded
        {"1e1", "  10.0", 10, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Type(PanelControl<QLineEdit>("Reflvl"), c.typed);
        EXPECT_EQ(PanelControl<QLineEdit>("Reflvl")->text(), c.shown);
        EXPECT_EQ(DisplayControl<QLabel>("Ref")->text(), c.shown);
        EXPECT_DOUBLE_EQ(State().RefLevel, c.level);
        EXPECT_EQ(PanelControl<UpDown>("UpDown1")->Position(), c.position);
        EXPECT_DOUBLE_EQ(State().DispTrace[10], State().NormLevel[10] - c.level);
    }
    EXPECT_TRUE(Errors.empty());

    // At the top of the arrows' range the upper arrow does nothing, the lower one steps.
    Type(PanelControl<QLineEdit>("Reflvl"), "150");
    QTest::mouseClick(PanelControl<UpDown>("UpDown1")->UpButton(), Qt::LeftButton);
    EXPECT_EQ(PanelControl<QLineEdit>("Reflvl")->text(), "  99.9");
    QTest::mouseClick(PanelControl<UpDown>("UpDown1")->DownButton(), Qt::LeftButton);
    EXPECT_EQ(PanelControl<QLineEdit>("Reflvl")->text(), "  99.8");
    EXPECT_EQ(PanelControl<UpDown>("UpDown1")->Position(), 999);
}

TEST_F(PanelTest, ReferenceLevelThatIsNotANumberChangesNothing) {
    StartHeld();
    Type(PanelControl<QLineEdit>("Reflvl"), "-3.5");
    StampGraph1();
    Type(PanelControl<QLineEdit>("Reflvl"), "abc");
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "'abc' は浮動小数点数ではありません.");
    EXPECT_DOUBLE_EQ(State().RefLevel, -3.5);
    EXPECT_EQ(PanelControl<UpDown>("UpDown1")->Position(), -35);
    EXPECT_EQ(DisplayControl<QLabel>("Ref")->text(), "  -3.5");
    EXPECT_FALSE(StampGone());
}

TEST_F(PanelTest, ReferencePositionPlacesTheLineAndTheRefLabel) {
    StartHeld();
    Type(PanelControl<QLineEdit>("Reflvl"),
         "30"); // the trace goes 30 dB down, clear of the reference line
    struct Case {
        int refpos;
        int labelTop; // Graph1 top 46, 283 / 10 rows per division, less 5
        int lineRow;  // row of the yellow reference line
        double ymax;
    };
    const std::vector<Case> cases = {
        {0, 41, 0, 0},     // on the top frame row, label 5 pixels above the chart
        {9, 296, 254, 90}, // on the ninth grid line
        {1, 69, 28, 10},
    };
    const int W = Plot().Width();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refpos);
        Choose(PanelControl<QComboBox>("Refpos"), c.refpos);
        EXPECT_EQ(DisplayControl<QLabel>("Ref")->y(), c.labelTop);
        EXPECT_EQ(DisplayControl<QLabel>("Ref")->text(), "  30.0");
        EXPECT_TRUE(DisplayControl<QLabel>("Ref")->isVisible());
        EXPECT_DOUBLE_EQ(Plot().Ymax, c.ymax);
        EXPECT_DOUBLE_EQ(Plot().Ymin, c.ymax - 100);
        EXPECT_EQ(static_cast<int>(std::lround(Plot().MapY(0))), c.lineRow);
        for (int x : {5, W / 3, W - 5}) {
            EXPECT_EQ(Pixel(x, c.lineRow), kYellow) << x;
        }
        // The grid lines on either side are the grid's, not the reference's.
        EXPECT_NE(Pixel(W / 3, c.lineRow == 0 ? 28 : c.lineRow - 28), kYellow);
    }
}

TEST_F(PanelTest, SwrPresentationAndBack) {
    StartHeld();
    Type(PanelControl<QLineEdit>("Reflvl"),
         "30"); // the trace goes 30 dB down, clear of the reference line
    QCheckBox* swr = PanelControl<QCheckBox>("SWR");
    QTest::mouseClick(swr, Qt::LeftButton, {}, QPoint(8, swr->height() / 2));
    ASSERT_TRUE(swr->isChecked());
    EXPECT_EQ(DisplayControl<QLabel>("Label11")->text(), "                  SWR");
    EXPECT_EQ(DisplayControl<QLabel>("Hdiv")->text(), "  ");
    EXPECT_TRUE(DisplayControl<QLabel>("SWRmax")->isVisible());
    EXPECT_TRUE(DisplayControl<QLabel>("SWRmin")->isVisible());
    EXPECT_EQ(DisplayControl<QLabel>("SWRmax")->text(), "10.0");
    EXPECT_EQ(DisplayControl<QLabel>("SWRmin")->text(), "1.0");
    EXPECT_EQ(DisplayControl<QLabel>("SWRmax")->pos(), QPoint(10, 40));
    EXPECT_EQ(DisplayControl<QLabel>("SWRmin")->pos(), QPoint(16, 318));
    EXPECT_FALSE(DisplayControl<QLabel>("Ref")->isVisible());
    EXPECT_TRUE(Plot().logY);
    EXPECT_FALSE(Plot().RefYEn);
    EXPECT_DOUBLE_EQ(Plot().Ymin, 1.0);
    EXPECT_DOUBLE_EQ(Plot().Ymax, 10.0);
    for (int i = 0; i <= State().PointNum; ++i) {
        ASSERT_EQ(State().DispTrace[i], State().SwrTrace[i]) << i;
    }
    // No reference line in the picture any more.
    EXPECT_NE(Pixel(Plot().Width() / 3, 28), kYellow);

    QTest::mouseClick(swr, Qt::LeftButton, {}, QPoint(8, swr->height() / 2));
    ASSERT_FALSE(swr->isChecked());
    EXPECT_EQ(DisplayControl<QLabel>("Label11")->text(), "FREQUENCY RESPONSE");
    EXPECT_EQ(DisplayControl<QLabel>("Hdiv")->text(), "10dB/div");
    EXPECT_FALSE(DisplayControl<QLabel>("SWRmax")->isVisible());
    EXPECT_FALSE(DisplayControl<QLabel>("SWRmin")->isVisible());
    EXPECT_TRUE(DisplayControl<QLabel>("Ref")->isVisible());
    EXPECT_FALSE(Plot().logY);
    EXPECT_EQ(Plot().YGridNum, 10);
    EXPECT_DOUBLE_EQ(Plot().Ymax, 10);
    EXPECT_EQ(Pixel(Plot().Width() / 3, 28), kYellow);
    EXPECT_TRUE(Errors.empty());
}
