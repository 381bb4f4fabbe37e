// The tools window against the simulator: calibration files across a restart, the trace
// memory leaving the display as it was, filter readouts against the models' own edges,
// the finer level scale and the distance to a cable's far end.
#include "PanelFixture.h"

#include "CalFile.h"
#include "DeviceModels.h"
#include "Distance.h"
#include "FilterReadout.h"
#include "Presentation.h"
#include "Takeaways.h"
#include "ToolsWindow.h"
#include "UserSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace myrl {
namespace {

constexpr uint32_t kGreen = Rgb(0, 255, 0);

class ToolsTest : public PanelTest {
protected:
    // QSettings finds the user's folder once per process: start each test from no settings.
    void SetUp() override {
        PanelTest::SetUp();
        OpenUserSettings()->clear();
    }
    ToolsWindow& Tools() { return P->Tools(); }
    double Spacing() { return State().FreqAxis[1] - State().FreqAxis[0]; }
};

TEST_F(ToolsTest, OpenedByItsShortcutAndFromTheMenus) {
    StartAndHold();
    EXPECT_FALSE(Tools().isVisible());
    const auto& actions = P->Extras.Actions();
    const auto it = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
        return a->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_T);
    });
    ASSERT_NE(it, actions.end());
    EXPECT_EQ((*it)->text(), QString::fromUtf8("MYRL Tools…"));
    Form2().activateWindow();
    QTest::keyClick(&Form2(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] { return Tools().isVisible(); }));
    EXPECT_EQ(Tools().windowTitle(), "MYRL Tools");
}

// The calibration file to load at start-up is gone: the box says so in English, naming the
// file, and the run goes on without a calibration.
TEST_F(ToolsTest, AStartUpCalibrationFileThatIsGoneIsReportedInEnglish) {
    const std::string gone = (Dir / "gone.myrlcal").string();
    {
        const auto settings = OpenUserSettings();
        settings->setValue("calibration/autoLoad", true);
        settings->setValue("calibration/last", QString::fromStdString(gone));
    }
    StartSimulator();
    StartProgram();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "Calibration not loaded at start-up.");
    EXPECT_EQ(ErrorDetails[0],
              gone + ": no such file or folder. The calibration in force is unchanged.");
    EXPECT_FALSE(P->Core.HasCalibration());
}

TEST_F(ToolsTest, ItsChoicesPersistAndItShowsTheStatusLines) {
    StartAndHold();
    Tools().Open();
    auto* down = Control<QDoubleSpinBox>(Tools(), "DownDb");
    auto* range = Control<QComboBox>(Tools(), "Range");
    auto* cable = Control<QComboBox>(Tools(), "Cable");
    EXPECT_EQ(down->value(), 3);
    EXPECT_EQ(range->currentIndex(), 0);
    EXPECT_EQ(cable->currentText(), "solid PE 0.66");
    down->setValue(6);
    Choose(range, 1);
    Choose(cable, 1);
    EXPECT_DOUBLE_EQ(Tools().VelocityFactor(), 0.82);
    Tools().SetAutoLoad(true);

    P->Core.Status().Set(StatusTopic::Link, "link up");
    EXPECT_EQ(Control<QLabel>(Tools(), "Status")->text(),
              QString::fromStdString(P->Core.Status().Text()));
    EXPECT_NE(Control<QLabel>(Tools(), "Status")->text().indexOf("link up"), -1);

    P.reset();
    StartAndHold();
    EXPECT_EQ(Control<QDoubleSpinBox>(Tools(), "DownDb")->value(), 6);
    EXPECT_EQ(Control<QComboBox>(Tools(), "Range")->currentIndex(), 1);
    EXPECT_EQ(Control<QComboBox>(Tools(), "Cable")->currentText(), "foam PE 0.82");
    EXPECT_TRUE(Control<QCheckBox>(Tools(), "CalAutoLoad")->isChecked());
    // The level scale is this run's choice: every run starts at 10 dB/div.
    EXPECT_EQ(P->Display().DbPerDiv(), 10);
    EXPECT_TRUE(Errors.empty()); // auto-load on, but no file saved yet
}

TEST_F(ToolsTest, ADataExportLoadsAsMemoryAndAForeignFileChangesNothing) {
    Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
    WritePlan(1, 10.7e6, 400e3);
    StartAndHold();
    Click(PanelControl<QWidget>("Button7")); // SAVE DATA
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ASSERT_TRUE(Tools().LoadMemory((Dir / "myrl_data.csv").string()));
    EXPECT_EQ(State().MemMode, kMemShown);
    EXPECT_EQ(State().MemPoints, State().SweepSteps + 1);
    for (int i = 0; i <= State().SweepSteps; ++i) {
        const auto k = static_cast<size_t>(i);
        EXPECT_EQ(State().MemFreq[k], std::round(State().FreqAxis[k]));
        EXPECT_NEAR(State().MemLevel[k], State().NormLevel[k], 1e-9) << i;
    }
    const PointArray memory = State().MemLevel;
    WriteFile("other.csv", "Frequency,Level\r\n1,2\r\n");
    EXPECT_FALSE(Tools().LoadMemory((Dir / "other.csv").string()));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(ErrorDetails[0].find("The memory is unchanged"), std::string::npos);
    EXPECT_EQ(State().MemLevel, memory);
    EXPECT_EQ(State().MemMode, kMemShown);
}

// Strange files chosen as data or calibration files: a FIFO (which would wait for a writer
// for ever), /dev/zero (which never ends), a folder. Each gives its message at once, the
// memory and the calibration stay as they were, and the windows go on answering; a FIFO
// named as the calibration to load at start-up does not hold the start.
TEST_F(ToolsTest, AFifoOrADeviceAsAFileGivesAMessageAndChangesNothing) {
    const std::string fifo = (Dir / "cal.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        const auto settings = OpenUserSettings();
        settings->setValue("calibration/autoLoad", true);
        settings->setValue("calibration/last", QString::fromStdString(fifo));
    }
    StartSimulator();
    StartProgram();
    ASSERT_EQ(Errors, std::vector<std::string>{"Calibration not loaded at start-up."});
    EXPECT_EQ(ErrorDetails[0], fifo + ": not a file to read: it is a FIFO (named pipe). The "
                                      "calibration in force is unchanged.");
    ASSERT_TRUE(
        WaitUntil([&] { return DisplayControl<QLabel>("AvrStat")->text() != "Averaging"; }));
    Hold();
    Errors.clear();
    ErrorDetails.clear();

    const PointArray memory = State().MemLevel;
    const PointArray calLevel = State().CalLevel;
    const struct {
        std::string path;
        const char* kind;
    } cases[] = {
        {"/dev/zero", "a device"}, {fifo, "a FIFO (named pipe)"}, {Dir.string(), "a folder"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Errors.clear();
        ErrorDetails.clear();
        EXPECT_FALSE(Tools().LoadMemory(c.path));
        EXPECT_FALSE(Tools().LoadCalibration(c.path));
        ASSERT_EQ(Errors, (std::vector<std::string>{"Data file not loaded as memory.",
                                                    "Calibration not loaded."}));
        EXPECT_EQ(ErrorDetails[0],
                  c.path + ": not a file to read: it is " + c.kind + ". The memory is unchanged.");
        EXPECT_EQ(State().MemLevel, memory);
        EXPECT_EQ(State().CalLevel, calLevel);
    }
    // The windows answer: a sweep on request.
    Errors.clear();
    Click(PanelControl<QRadioButton>("RunItem"));
    const uint64_t commands = Sim->Stats().Commands;
    EXPECT_TRUE(WaitUntil([&] { return Sim->Stats().Commands > commands + 1; }));
    EXPECT_TRUE(Errors.empty());
}

// A calibration file's note (file text) is shown as it stands, never as markup.
TEST_F(ToolsTest, TheNoteOfACalibrationFileShowsAsPlainText) {
    StartAndHold();
    CalRecord r = CalRecordFrom(State(), false, "2026-12-10 14:30:00 UTC", "<h1>big</h1><b>x</b>");
    r.CalFreq = State().FreqAxis;
    r.CalLevel.fill(-1);
    const std::string path = (Dir / "markup.myrlcal").string();
    WriteFile("markup.myrlcal", FormatCalFile(r));
    ASSERT_TRUE(Tools().LoadCalibration(path));
    Tools().Open();
    ASSERT_TRUE(WaitUntil([&] { return Tools().isVisible(); }));
    Tools().Refresh();
    for (const char* name : {"CalState", "MemState", "Status"}) {
        EXPECT_EQ(Control<QLabel>(Tools(), name)->textFormat(), Qt::PlainText) << name;
    }
    EXPECT_NE(Control<QLabel>(Tools(), "CalState")->text().indexOf("<h1>big</h1><b>x</b>"), -1)
        << Control<QLabel>(Tools(), "CalState")->text().toStdString();
}

TEST_F(ToolsTest, ACalibrationSurvivesARestartAndACorruptFileChangesNothing) {
    Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
    WritePlan(1, 10.7e6, 1e6);
    StartAndHold();
    EXPECT_EQ(Tools().CalibrationLine(), "no calibration: NORM shows the raw response");
    SweepIn(1); // NORM before any CAL: the raw response, far from flat
    const double rawSpread =
        *std::max_element(State().NormLevel.begin(), State().NormLevel.begin() + kPointCount) -
        *std::min_element(State().NormLevel.begin(), State().NormLevel.begin() + kPointCount);
    EXPECT_GT(rawSpread, 50);
    SweepIn(2); // CAL
    SweepIn(1); // NORM: flat
    const PointArray flat = State().NormLevel;
    for (int i = 0; i < kPointCount; ++i) {
        if (i != 1) { // point 1 takes the flat value of entry 0
            EXPECT_EQ(flat[static_cast<size_t>(i)], 0) << i;
        }
    }
    const std::string path = (Dir / "bp.myrlcal").string();
    Tools().SaveCalibration(path, "band-pass 10.7 MHz");
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    Tools().SetAutoLoad(true);
    EXPECT_EQ(
        Tools().CalibrationLine().rfind("NORM uses: bp.myrlcal (band-pass 10.7 MHz), taken ", 0),
        0u)
        << Tools().CalibrationLine();
    const std::string calRange = ShortHz(State().CalFreq[0]) + "–" + ShortHz(State().CalFreq[250]);
    EXPECT_EQ(calRange, "10.2 MHz–11.2 MHz"); // the span's points (255 lies five steps beyond)
    EXPECT_NE(Tools().CalibrationLine().find(" over " + calRange), std::string::npos);

    // A new run: the tables come back from the file before any CAL sweep.
    P.reset();
    StartAndHold();
    EXPECT_EQ(P->Core.Status().Line(StatusTopic::Calibration), Tools().CalibrationLine());
    EXPECT_EQ(Tools().CalibrationLine().rfind("NORM uses: bp.myrlcal", 0), 0u);
    SweepIn(1);
    EXPECT_EQ(State().NormLevel, flat);
    EXPECT_EQ(Tools().CoverageLine(), ""); // the same plan

    // A corrupt file: a message, the tables and NORM as they were.
    const PointArray calLevel = State().CalLevel;
    const PointArray calFreq = State().CalFreq;
    std::string text = ReadFile("bp.myrlcal");
    text.replace(text.find("\n100 "), 5, "\n100 x");
    WriteFile("bad.myrlcal", text);
    EXPECT_FALSE(Tools().LoadCalibration((Dir / "bad.myrlcal").string()));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(ErrorDetails[0].find("Line 113 of the calibration file"), std::string::npos)
        << ErrorDetails[0];
    EXPECT_NE(ErrorDetails[0].find("unchanged"), std::string::npos);
    EXPECT_EQ(State().CalLevel, calLevel);
    EXPECT_EQ(State().CalFreq, calFreq);
    SweepIn(1);
    EXPECT_EQ(State().NormLevel, flat);
    // A foreign file (the data export) likewise.
    WriteFile("myrl_data.csv", "10200000,-3.5\r\n");
    EXPECT_FALSE(Tools().LoadCalibration((Dir / "myrl_data.csv").string()));
    EXPECT_EQ(State().CalLevel, calLevel);
    Errors.clear();

    // A wider plan than the calibration: said where NORM holds the edge levels.
    EnterPlan("CENTER/SPAN", "10700000", "2000000");
    SweepIn(1);
    EXPECT_EQ(Tools().CoverageLine(),
              "the calibration covers " + calRange + ", the plan " + ShortHz(State().FreqAxis[0]) +
                  "–" + ShortHz(State().FreqAxis[250]) + ": outside it NORM uses the edge levels");
    EXPECT_EQ(ShortHz(State().FreqAxis[0]), "9.7 MHz");
}

// A CAL sweep in zero span holds the axis positions 0..100, not hertz: the lines say "zero
// span" (not "-1 Hz–101 Hz"), also once the plan is a span again, and so does its file.
TEST_F(ToolsTest, AZeroSpanCalibrationIsCalledSo) {
    Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
    WritePlan(1, 10.7e6, 1e6);
    StartAndHold();
    EnterPlan("ZERO SPAN", "", "");
    ASSERT_TRUE(State().ZeroSpan);
    SweepIn(2); // CAL
    EXPECT_EQ(Tools().CalibrationLine(),
              "NORM uses: the CAL sweep of this run (not saved), in zero span");
    EnterPlan("CENTER/SPAN", "10700000", "1000000");
    SweepIn(1);
    EXPECT_EQ(Tools().CalibrationLine(),
              "NORM uses: the CAL sweep of this run (not saved), in zero span");
    EXPECT_EQ(Tools().CoverageLine(),
              "the calibration is a zero-span sweep, the plan " + ShortHz(State().FreqAxis[0]) +
                  "–" + ShortHz(State().FreqAxis[250]) + ": NORM uses its edge levels");
    const std::string path = (Dir / "zero.myrlcal").string();
    Tools().SaveCalibration(path, "");
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_NE(ReadFile("zero.myrlcal").find("\nzero_span 1\n"), std::string::npos);
    const std::string saved = Tools().CalibrationLine();
    EXPECT_EQ(saved.rfind("NORM uses: zero.myrlcal, taken ", 0), 0u) << saved;
    EXPECT_EQ(saved.substr(saved.size() - 13), " in zero span") << saved;
}

TEST_F(ToolsTest, WithTheMemoryOffTheDisplayIsAsIfTheToolsWereNeverOpened) {
    Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
    WritePlan(1, 10.7e6, 400e3);
    StartAndHold();
    const QImage before = Form2().grab().toImage();

    Tools().Open();
    Tools().StoreTrace();
    EXPECT_EQ(State().MemMode, kMemShown);
    for (int i = 0; i < kArrayLen; ++i) {
        State().MemLevel[static_cast<size_t>(i)] -= 10; // a memory 10 dB below the trace
    }
    Tools().SetMemoryMode(kMemShown);
    int memoryPixels = 0;
    for (int x = 0; x < Plot().Width(); ++x) {
        for (int y = 0; y < Plot().Height(); ++y) {
            memoryPixels += Pixel(x, y) == Rgb(255, 0, 255);
        }
    }
    EXPECT_GT(memoryPixels, 300);
    Tools().SetMemoryMode(kMemSubtracted); // data - memory: 10 dB everywhere
    for (int i = 0; i < kPointCount; ++i) {
        EXPECT_NEAR(State().DispTrace[static_cast<size_t>(i)], 10, 1e-9) << i;
    }
    Tools().SetMemoryMode(kMemOff);
    Tools().hide();
    const QImage after = Form2().grab().toImage();
    EXPECT_TRUE(before == after);
}

// While the trace shows the memory subtracted, the chart's title says so, and so does its
// picture; shown beside the trace or off, the title is the chart's own.
TEST_F(ToolsTest, TraceMinusMemoryIsMarkedOnTheChartAndItsPicture) {
    StartAndHold();
    auto* title = DisplayControl<QLabel>("Label11");
    const QRect titleArea = title->geometry().united(QRect(title->x(), title->y(), 300, 15));
    const QImage before = P->Exports->Picture().copy(titleArea);
    Tools().Open();
    Tools().StoreTrace();
    const struct {
        int mode;
        bool swr;
        const char* title;
    } cases[] = {
        {kMemShown, false, "FREQUENCY RESPONSE"},
        {kMemSubtracted, false, "      TRACE − MEMORY"},
        {kMemSubtracted, true, "SWR OF TRACE − MEMORY"},
        {kMemShown, true, "                  SWR"},
        {kMemSubtracted, false, "      TRACE − MEMORY"},
        {kMemOff, false, "FREQUENCY RESPONSE"},
    };
    for (const auto& c : cases) {
        auto* swr = PanelControl<QCheckBox>("SWR");
        if (swr->isChecked() != c.swr) {
            Click(swr);
        }
        Tools().SetMemoryMode(c.mode);
        EXPECT_EQ(title->text(), QString::fromUtf8(c.title)) << c.mode << " " << c.swr;
        const bool own = c.mode != kMemSubtracted && !c.swr;
        EXPECT_EQ(P->Exports->Picture().copy(titleArea) == before, own) << c.mode << " " << c.swr;
    }
}

// The saved files name the calibration file in use, and a Touchstone file without any
// calibration says so.
TEST_F(ToolsTest, SavedFilesNameTheCalibrationFileInUse) {
    StartAndHold();
    Tools().Open();
    const auto saved = [&](Takeaways::DataFormat f, const char* name) {
        P->Exports->SaveData(QString::fromStdString((Dir / name).string()), f);
        return ReadFile(name);
    };
    SweepIn(1); // NORM, no calibration yet
    EXPECT_NE(saved(Takeaways::DataFormat::TouchstoneS21, "none.s1p")
                  .find("the NORM level with no calibration taken or loaded"),
              std::string::npos);

    SweepIn(2); // CAL
    const std::string path = (Dir / "thru.myrlcal").string();
    Tools().SaveCalibration(path, "through");
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    P.reset();
    StartAndHold();
    ASSERT_TRUE(Tools().LoadCalibration(path));
    SweepIn(1);
    const std::string csv = saved(Takeaways::DataFormat::Csv, "t.csv");
    EXPECT_NE(csv.find("# calibration: the calibration file " + path + " (through), taken "),
              std::string::npos)
        << csv.substr(0, 800);
    EXPECT_NE(saved(Takeaways::DataFormat::TouchstoneS21, "t.s1p")
                  .find("the NORM level, relative to the calibration file " + path),
              std::string::npos);
}

// Both markers have the same moves: to the peak, either edge and the minimum, each as a
// drag to that column.
TEST_F(ToolsTest, BothMarkersMoveToTheSameTargets) {
    Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
    WritePlan(1, 10.7e6, 400e3);
    StartAndHold();
    Tools().Open();
    const auto r = Tools().Readout();
    ASSERT_TRUE(r && r->Lower.Found && r->Upper.Found);
    const struct {
        const char* name;
        double hz;
    } targets[] = {{"Peak", r->PeakHz},
                   {"LowerEdge", r->Lower.Hz},
                   {"UpperEdge", r->Upper.Hz},
                   {"Minimum", r->MinHz}};
    for (int m = 1; m <= 2; ++m) {
        for (const auto& t : targets) {
            const std::string button = "Marker" + std::to_string(m) + "To" + t.name;
            Click(Control<QPushButton>(Tools(), button.c_str()));
            const int32_t column = m == 1 ? State().Marker1X : State().Marker2X;
            EXPECT_EQ(column, MarkerColumnFor(t.hz, Plot().Xmin, Plot().Xmax, Plot().Width()))
                << button;
        }
    }
    // Frequencies without a needless decimal: the plan's whole hertz stay whole.
    const QString readout = Control<QLabel>(Tools(), "Readout")->text();
    EXPECT_FALSE(QRegularExpression(R"([.,]0 Hz)").match(readout).hasMatch())
        << readout.toStdString();
}

TEST_F(ToolsTest, ReadoutsLieWithinOnePointOfTheModelsOwnEdges) {
    struct Case {
        const char* name;
        sim::DeviceKind kind;
        int order;
        int fdef;
        double a, b;
    };
    const Case cases[] = {
        {"band-pass", sim::DeviceKind::Bandpass, 4, 1, 10.7e6, 400e3},
        {"band-pass, wide span", sim::DeviceKind::Bandpass, 4, 1, 10.7e6, 1e6},
        {"low-pass", sim::DeviceKind::Lowpass, 10, 0, 0, 20e6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        P.reset();
        if (Sim) {
            Sim->Stop();
            Sim.reset();
        }
        Config.Unit.Device.Kind = c.kind;
        Config.Unit.Device.Order = c.order;
        WritePlan(c.fdef, c.a, c.b);
        StartAndHold();
        const sim::DeviceConfig& d = Config.Unit.Device;
        const auto r = Tools().Readout();
        ASSERT_TRUE(r);
        const double h = Spacing();
        if (c.kind == sim::DeviceKind::Bandpass) {
            const auto [lower, upper] = sim::BandpassEdgesHz(d.CentreHz, d.BandwidthHz);
            ASSERT_TRUE(r->Lower.Found && r->Upper.Found && r->Q);
            EXPECT_NEAR(r->Lower.Hz, lower, h);
            EXPECT_NEAR(r->Upper.Hz, upper, h);
            EXPECT_NEAR(*r->CentreHz, d.CentreHz, h);
            EXPECT_NEAR(*r->BandwidthHz, d.BandwidthHz, 2 * h);
            const double q = d.CentreHz / d.BandwidthHz;
            EXPECT_NEAR(*r->Q, q, q * h / (d.BandwidthHz - h));
            EXPECT_NEAR(r->PeakHz, d.CentreHz, h); // the middle of the flat top
        } else {
            EXPECT_FALSE(r->Lower.Found); // the pass band starts below the span
            ASSERT_TRUE(r->Upper.Found);
            EXPECT_NEAR(r->Upper.Hz, d.CutoffHz, h);
            EXPECT_FALSE(r->BandwidthHz);
        }
        // The marker actions put the markers where a drag to those columns would.
        ASSERT_TRUE(Tools().MoveMarker(2, ToolsWindow::Target::UpperEdge));
        const QString fu = DisplayControl<QLabel>("F_disp2")->text();
        EXPECT_NEAR(State().MarkerFU, r->Upper.Hz, (c.b - c.a * (c.fdef == 0)) / 448);
        const int32_t col = State().Marker2X;
        QTest::mousePress(DisplayControl<TGraph>("Graph1"), Qt::LeftButton, {}, QPoint(col, 100));
        QTest::mouseMove(DisplayControl<TGraph>("Graph1"), QPoint(col, 101));
        QTest::mouseRelease(DisplayControl<TGraph>("Graph1"), Qt::LeftButton, {}, QPoint(col, 101));
        EXPECT_EQ(State().Marker2X, col);
        EXPECT_EQ(DisplayControl<QLabel>("F_disp2")->text(), fu);
        ASSERT_TRUE(Tools().MoveMarker(1, ToolsWindow::Target::Peak));
        EXPECT_NEAR(State().MarkerFL, r->PeakHz, (c.b - c.a * (c.fdef == 0)) / 448);
    }
}

TEST_F(ToolsTest, OneDbPerDivisionShowsAHalfDbRippleAsFivePixelsOrMore) {
    Config.Unit.Device.RippleDb = 0.5;
    Config.Unit.Device.RipplePeriodHz = 40e3;
    StartHeld(); // thru, 10.7 MHz / 100 kHz, REF position 1
    auto traceRows = [&] {
        int top = Plot().Height();
        int bottom = -1;
        for (int x = 0; x < Plot().Width(); ++x) {
            for (int y = 0; y < Plot().Height(); ++y) {
                if (Pixel(x, y) == kGreen) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        return bottom - top + 1;
    };
    EXPECT_LT(traceRows(), 5);
    EXPECT_EQ(DisplayControl<QLabel>("Hdiv")->text(), "10dB/div");
    const int refY = DisplayControl<QLabel>("Ref")->y();

    Tools().SetDbPerDiv(1);
    EXPECT_EQ(DisplayControl<QLabel>("Hdiv")->text(), "1dB/div");
    EXPECT_GE(traceRows(), 5);
    EXPECT_EQ(Plot().Ymax, 1);
    EXPECT_EQ(Plot().Ymin, -9);
    EXPECT_EQ(DisplayControl<QLabel>("Ref")->y(), refY); // the reference stays on its line

    Tools().SetDbPerDiv(10);
    EXPECT_EQ(DisplayControl<QLabel>("Hdiv")->text(), "10dB/div");
    EXPECT_LT(traceRows(), 5);
}

TEST_F(ToolsTest, TheCableEndLiesWithinOneBinOfItsLength) {
    Config.Unit.Device.Kind = sim::DeviceKind::Cable;
    WritePlan(0, 1e6, 26e6);
    for (double length : {25.0, 50.0}) {
        SCOPED_TRACE(length);
        P.reset();
        if (Sim) {
            Sim->Stop();
            Sim.reset();
        }
        Config.Unit.Device.CableLengthM = length;
        StartAndHold();
        QTest::mouseClick(PanelControl<QCheckBox>("CEPS"), Qt::LeftButton);
        SweepIn(0);
        const auto& view = P->Display().LastCepstrum();
        ASSERT_TRUE(view);
        const double vf = Config.Unit.Device.VelocityFactor;
        Tools().Open();
        // The preset of the model's dielectric.
        auto* cable = Control<QComboBox>(Tools(), "Cable");
        Choose(cable, 0);
        EXPECT_DOUBLE_EQ(Tools().VelocityFactor(), vf);
        const auto delay = Tools().PeakDelay();
        ASSERT_TRUE(delay);
        const double bin = view->X[1] - view->X[0];
        EXPECT_NEAR(OneWayDistanceM(*delay, vf), length, OneWayDistanceM(bin, vf));
        // The delay under the pointer, as the Delay caption reads it.
        auto* g2 = DisplayControl<TGraph>("Graph2");
        const int x = static_cast<int>(length) * 2; // a move to where the pointer is not yet
        QTest::mouseMove(g2, QPoint(x, 40));
        ASSERT_TRUE(P->Display().PointerDelay());
        EXPECT_DOUBLE_EQ(*P->Display().PointerDelay(),
                         x / (g2->width() - 1.0) * (view->Xmax - view->Xmin));
        Tools().Refresh();
        EXPECT_NE(Control<QLabel>(Tools(), "Distance")->text().indexOf(" m   "), -1);
        // Delays in ns (a 25 m cable: some 250 ns), never as an exponent of seconds.
        const QString distance = Control<QLabel>(Tools(), "Distance")->text();
        EXPECT_TRUE(
            QRegularExpression(R"(Highest peak: +delay \d+[.,]\d+ ns )").match(distance).hasMatch())
            << distance.toStdString();
        EXPECT_FALSE(distance.contains("e-")) << distance.toStdString();
    }
}

} // namespace
} // namespace myrl
