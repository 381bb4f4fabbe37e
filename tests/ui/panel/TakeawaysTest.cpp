// Pictures and data files a user takes away, the RUN/HOLD and close keys and the help
// window, on the real windows: the shortcuts pressed, the save dialog answered as a user
// would, the files read back by other programs (Python's csv module, scikit-rf).
#include "ProgramFixture.h"

#include "Export.h"
#include "Notice.h"
#include "ParamFile.h"
#include "Takeaways.h"
#include "TraceFile.h"
#include "Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>

#include <charconv>
#include <clocale>
#include <fstream>

namespace myrl {
namespace {

namespace fs = std::filesystem;

// What a save dialog showed before it was answered.
struct DialogSeen {
    bool shown = false;
    QString title;
    QString offered; // the file name it offered
    QString folder;
    QStringList filters;
};

// A value as C's hexadecimal floating form, which Python reads with float.fromhex: a
// reference that shares nothing with the program's decimal forms.
std::string Hex(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::hex);
    std::string s(buf, r.ptr);
    return s[0] == '-' ? "-0x" + s.substr(1) : "0x" + s;
}

// Reads a CSV the way a user's script does (comment lines skipped, the header by name)
// and compares every value with the reference file's hexadecimal values exactly.
constexpr const char* kCsvCheck = R"(import csv, math, sys
with open(sys.argv[1], newline='') as f:
    rows = list(csv.reader(line for line in f if not line.startswith('#')))
want = [line.split() for line in open(sys.argv[2])]
header = ['frequency_hz', 'level_db', 'swr', 'raw_level_db', 'norm_level_db']
if rows[0] != header:
    sys.exit('header %r' % rows[0])
if len(rows) - 1 != len(want):
    sys.exit('%d rows, %d expected' % (len(rows) - 1, len(want)))
for n, (row, ref) in enumerate(zip(rows[1:], want)):
    for name, text, hexv in zip(header, row, ref):
        got, exp = float(text), float.fromhex(hexv)
        if not (got == exp or (math.isnan(got) and math.isnan(exp))):
            sys.exit('row %d %s: %r read as %r, expected %r' % (n, name, text, got, exp))
print('csv ok', len(want))
)";

// Reads a Touchstone file with scikit-rf and compares frequencies (exactly) and
// magnitudes in dB with the reference; exit 77 when scikit-rf is not installed.
constexpr const char* kTouchstoneCheck = R"(import sys
try:
    import skrf
except ImportError:
    sys.exit(77)
net = skrf.Network(sys.argv[1])
want = [[float.fromhex(v) for v in line.split()] for line in open(sys.argv[2])]
if net.nports != 1 or len(net.f) != len(want):
    sys.exit('%d ports, %d points, %d expected' % (net.nports, len(net.f), len(want)))
for n, (f, db, s, ref) in enumerate(zip(net.f, net.s_db[:, 0, 0], net.s[:, 0, 0], want)):
    if f != ref[0]:
        sys.exit('point %d: frequency %r, expected %r' % (n, f, ref[0]))
    if abs(db - ref[1]) > 1e-9:
        sys.exit('point %d: %r dB, expected %r' % (n, db, ref[1]))
    if s.imag != 0 or s.real < 0:
        sys.exit('point %d: angle of %r is not 0' % (n, s))
print('touchstone ok', len(want), net.z0[0, 0])
)";

class TakeawaysTest : public ProgramTest {
protected:
    // A bandpass around 10.7 MHz over CENTER/SPAN 10.7M / 100k, swept, then HOLD.
    void StartHeld(const char* mode = "THRU") {
        Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
        StartSimulator();
        StartProgram();
        ASSERT_TRUE(Errors.empty()) << Errors.front();
        EnterPlan("CENTER/SPAN", "10700000", "100000");
        auto* modeBox = PanelControl<QComboBox>("MODE");
        for (const char* m : {"CAL", mode}) {
            modeBox->setCurrentIndex(modeBox->findText(m));
            const uint64_t commands = Sim->Stats().Commands;
            ASSERT_TRUE(WaitUntil([&] { return Sim->Stats().Commands >= commands + 2; }));
        }
        Hold();
    }

    // Presses `key` in `window` and answers the save dialog that opens with `path` (and
    // the filter `filter` when not empty); an empty path cancels it.
    DialogSeen PressAndAnswer(QWidget& window, QKeySequence key, const QString& path,
                              const QString& filter = {}) {
        DialogSeen seen;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!d) {
                return;
            }
            if (!seen.shown) {
                seen.shown = true;
                seen.title = d->windowTitle();
                seen.folder = d->directory().absolutePath();
                seen.offered = d->selectedFiles().value(0);
                seen.filters = d->nameFilters();
                if (path.isEmpty()) {
                    d->reject();
                    return;
                }
                if (!filter.isEmpty()) {
                    d->selectNameFilter(filter);
                }
            }
            // selectFile leaves the name field alone while it has the focus (as it has once the
            // dialog is active): the name is typed into the field as a user would.
            d->selectFile(path);
            if (auto* name = d->findChild<QLineEdit*>("fileNameEdit")) {
                name->setText(QFileInfo(path).fileName());
            }
            if (QFileInfo(d->selectedFiles().value(0)).absoluteFilePath() !=
                QFileInfo(path).absoluteFilePath()) {
                return;
            }
            QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
        });
        poll.start();
        Press(window, key);
        poll.stop();
        return seen;
    }

    void Press(QWidget& window, QKeySequence key) {
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keySequence(&window, key);
    }

    // Runs a Python script over a file; its exit code and what it printed.
    std::pair<int, std::string> Python(const char* script, const fs::path& file,
                                       const std::string& reference) {
        const fs::path scriptFile = Dir / "check.py";
        const fs::path refFile = Dir / "reference.txt";
        std::ofstream(scriptFile) << script;
        std::ofstream(refFile) << reference;
        QProcess py;
        py.setProcessChannelMode(QProcess::MergedChannels);
        // Debian's interpreter, which the distribution's scikit-rf belongs to.
        const QString python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        py.start(python,
                 {QString::fromStdString(scriptFile.string()),
                  QString::fromStdString(file.string()), QString::fromStdString(refFile.string())});
        EXPECT_TRUE(py.waitForFinished(120000));
        return {py.exitCode(), py.readAll().toStdString()};
    }

    // The trace's values, one point a line, hexadecimal: frequency, then `columns`.
    std::string Reference(const std::vector<std::function<double(size_t)>>& columns) {
        std::string out;
        for (size_t k = 0; k <= static_cast<size_t>(State().SweepSteps); ++k) {
            out += Hex(State().FreqAxis[k]);
            for (const auto& c : columns) {
                out += " " + Hex(c(k));
            }
            out += "\n";
        }
        return out;
    }

    static QImage Rgb(const QImage& i) { return i.convertToFormat(QImage::Format_RGB32); }
    QString Saved() const {
        return QString::fromStdString(P->Core.Status().Line(StatusTopic::Saved));
    }
    static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }
};

TEST_F(TakeawaysTest, PictureSavedByShortcutIsTheDisplayWindowPixelForPixelAndOnTheClipboard) {
    StartHeld();
    fs::create_directories(Dir / "pictures");
    const fs::path png = Dir / "pictures" / "shot.png";

    const DialogSeen seen = PressAndAnswer(Form2(), QKeySequence(Qt::CTRL | Qt::Key_P), Q(png));
    const QImage grabbed = Form2().grab().toImage();
    ASSERT_TRUE(seen.shown);
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(QRegularExpression(R"(^myrl-10\.7MHz-100kHz-\d{8}-\d{4}\.png$)")
                    .match(QFileInfo(seen.offered).fileName())
                    .hasMatch())
        << seen.offered.toStdString();
    EXPECT_EQ(seen.folder, Q(Dir)) << "the working folder before any save";

    QImage saved(Q(png), "PNG");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), Form2().size());
    EXPECT_EQ(Rgb(saved), Rgb(grabbed)) << "the file is the window as it shows";
    EXPECT_TRUE(Saved().startsWith("Saved " + Q(png) + " at ")) << Saved().toStdString();

    // The clipboard gets the same picture from either window.
    QApplication::clipboard()->clear();
    Press(Form1(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    EXPECT_EQ(Rgb(QApplication::clipboard()->image()), Rgb(grabbed));

    // The next dialog starts in the folder saved to last, also in a later run.
    P.reset();
    StartProgram();
    const DialogSeen again = PressAndAnswer(Form1(), QKeySequence(Qt::CTRL | Qt::Key_P), {});
    EXPECT_EQ(again.folder, Q(Dir / "pictures"));
}

TEST_F(TakeawaysTest, CsvReadByPythonGivesTheTraceExactlyUnderAnyLocale) {
    StartHeld("NORM");
    // A comma-decimal locale in force for the C library as the file is written, where it is
    // installed (scripts/test also runs this under LC_ALL=de_DE.UTF-8).
    const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const fs::path csv = Dir / "trace.csv";
    const DialogSeen seen = PressAndAnswer(Form1(), QKeySequence(Qt::CTRL | Qt::Key_S), Q(csv),
                                           Takeaways::FilterText(Takeaways::DataFormat::Csv));
    std::setlocale(LC_ALL, oldLocale.c_str());
    ASSERT_TRUE(seen.shown);
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(seen.offered.endsWith(".csv")) << seen.offered.toStdString();
    EXPECT_TRUE(Saved().startsWith("Saved " + Q(csv) + " at "));

    const MeasState& s = State();
    const auto [code, out] = Python(
        kCsvCheck, csv,
        Reference({[&](size_t k) { return s.NormLevel[k] - s.RefLevel; },
                   [&](size_t k) { return s.SwrTrace[k]; }, [&](size_t k) { return s.RawLevel[k]; },
                   [&](size_t k) { return s.NormLevel[k]; }}));
    EXPECT_EQ(code, 0) << out;

    const std::string header = ReadFile("trace.csv");
    for (const char* line : {"# MYRL 1.43\n", "# plan: CENTER/SPAN, center 10.7MHz, span 100kHz",
                             "# mode: NORM\n", "# sweep time: ", "# averaging: ",
                             "# reference level: 0 dB\n", "# calibration: the last CAL sweep"}) {
        EXPECT_NE(header.find(line), std::string::npos) << line;
    }
    // The tools read it back as it was written.
    const TraceRead back = ReadTraceCsv(csv.string());
    ASSERT_EQ(back.FrequencyHz.size(), 251u);
    EXPECT_EQ(back.Levels[3].Values[17], s.NormLevel[17]);
}

TEST_F(TakeawaysTest, TouchstoneOfTheNormLevelIsReadByScikitRf) {
    StartHeld("NORM");
    const fs::path s1p = Dir / "dut";
    const DialogSeen seen =
        PressAndAnswer(Form2(), QKeySequence(Qt::CTRL | Qt::Key_S), Q(s1p),
                       Takeaways::FilterText(Takeaways::DataFormat::TouchstoneS21));
    ASSERT_TRUE(seen.shown);
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_EQ(seen.filters.size(), 3) << "CSV, S21 and S11 offered in NORM";
    EXPECT_TRUE(seen.title.contains("Touchstone"));
    const fs::path written = Dir / "dut.s1p";
    ASSERT_TRUE(fs::exists(written)) << "the extension of the chosen kind is added";
    const std::string bytes = ReadFile("dut.s1p");
    EXPECT_NE(bytes.find("! S21 (transmission) magnitude in dB"), std::string::npos);
    EXPECT_NE(bytes.find("\n# Hz S DB R 50\n"), std::string::npos);

    const MeasState& s = State();
    const auto [code, out] =
        Python(kTouchstoneCheck, written, Reference({[&](size_t k) { return s.NormLevel[k]; }}));
    if (code == 77) {
        GTEST_SKIP() << "python3 has no skrf (Debian package python3-scikit-rf; scripts/setup-deps "
                        "installs it)";
    }
    EXPECT_EQ(code, 0) << out;
}

TEST_F(TakeawaysTest, TouchstoneIsOfferedOnlyForTheNormLevel) {
    StartHeld("THRU");
    struct Case {
        const char* mode;
        bool swr;
        int filters;
    } cases[] = {{"THRU", false, 1}, {"CAL", false, 1}, {"NORM", true, 1}, {"NORM", false, 3}};
    auto* modeBox = PanelControl<QComboBox>("MODE");
    auto* swr = PanelControl<QCheckBox>("SWR");
    for (const Case& c : cases) {
        modeBox->setCurrentIndex(modeBox->findText(c.mode));
        if (swr->isChecked() != c.swr) {
            QTest::mouseClick(swr, Qt::LeftButton);
        }
        const DialogSeen seen = PressAndAnswer(Form1(), QKeySequence(Qt::CTRL | Qt::Key_S), {});
        EXPECT_EQ(seen.filters.size(), c.filters) << c.mode << " swr " << c.swr;
        EXPECT_EQ(seen.title.contains("Touchstone"), c.filters > 1) << c.mode;
    }
    EXPECT_EQ(Saved(), "") << "a cancelled dialog writes nothing";
}

TEST_F(TakeawaysTest, AFileThatCannotBeWrittenIsReportedAndNotSaidToBeSaved) {
    StartHeld();
    const fs::path locked = Dir / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        QKeySequence key;
        const char* name;
        const char* detail;
    } cases[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_P), "p.png", "The picture was not saved."},
        {QKeySequence(Qt::CTRL | Qt::Key_S), "d.csv", "The data was not saved."},
    };
    for (const Case& c : cases) {
        Errors.clear();
        ErrorDetails.clear();
        const DialogSeen seen = PressAndAnswer(Form2(), c.key, Q(locked / c.name));
        ASSERT_TRUE(seen.shown);
        ASSERT_EQ(Errors.size(), 1u) << c.name;
        EXPECT_EQ(Errors[0], "ファイルへのアクセスが拒否されました.") << c.name;
        // The file and the reason, then what did not happen.
        EXPECT_EQ(ErrorDetails[0], (locked / c.name).string() +
                                       ": permission denied: the file or its folder is read-only "
                                       "or belongs to another user\n" +
                                       c.detail);
        EXPECT_FALSE(fs::exists(locked / c.name));
    }
    EXPECT_EQ(Saved(), "");
}

TEST_F(TakeawaysTest, SaveDataButtonWritesTheFixedFileAsBeforeAndSaysSoInTheStatus) {
    StartHeld();
    auto* bar = PanelControl<QWidget>("ProgressBar1");
    QTest::mouseClick(PanelControl<QPushButton>("Button7"), Qt::LeftButton);
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_EQ(ReadFile(kExportFileName), ExportBytes(State(), LocaleDecimalSeparator()));
    const QString line = Saved();
    EXPECT_TRUE(QRegularExpression("^Saved " +
                                   QRegularExpression::escape(Q(Dir / kExportFileName)) +
                                   R"( at \d\d:\d\d:\d\d$)")
                    .match(line)
                    .hasMatch())
        << line.toStdString();
    EXPECT_TRUE(bar->toolTip().contains(line));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no box on success";

    // In zero span nothing is written, and the status keeps the last write.
    fs::remove(Dir / kExportFileName);
    EnterPlan("ZERO SPAN", "10700000", "100000");
    QTest::mouseClick(PanelControl<QPushButton>("Button7"), Qt::LeftButton);
    EXPECT_FALSE(fs::exists(Dir / kExportFileName));
    EXPECT_EQ(Saved(), line);
}

// Saving says so where the user looks, without hovering and without a box to click: a
// notice beside the window the user worked in, over neither of the two windows, gone
// after a few seconds.
TEST_F(TakeawaysTest, SavingSaysSoBesideTheWindowWithoutABox) {
    StartHeld();
    const QString time = R"( at \d\d:\d\d:\d\d$)";
    struct Case {
        const char* what;
        QWidget* window;
        std::function<void()> act;
        QString says; // a regular expression
    };
    const Case cases[] = {
        {"SAVE DATA", &Form1(),
         [&] { QTest::mouseClick(PanelControl<QPushButton>("Button7"), Qt::LeftButton); },
         "^Saved " + QRegularExpression::escape(Q(Dir / kExportFileName)) + time},
        {"Ctrl+S", &Form2(),
         [&] { PressAndAnswer(Form2(), QKeySequence(Qt::CTRL | Qt::Key_S), Q(Dir / "d.csv")); },
         "^Saved " + QRegularExpression::escape(Q(Dir / "d.csv")) + time},
        {"Ctrl+P", &Form1(),
         [&] { PressAndAnswer(Form1(), QKeySequence(Qt::CTRL | Qt::Key_P), Q(Dir / "p.png")); },
         "^Saved " + QRegularExpression::escape(Q(Dir / "p.png")) + time},
        {"Ctrl+Shift+C", &Form2(),
         [&] { Press(Form2(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)); },
         "^Picture of the display window copied to the clipboard$"},
    };
    for (const Case& c : cases) {
        c.act();
        ASSERT_TRUE(Errors.empty()) << c.what << ": " << Errors.front();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << c.what << ": no box";
        const Notice* n = Notice::Shown();
        ASSERT_NE(n, nullptr) << c.what;
        EXPECT_TRUE(QRegularExpression(c.says).match(n->FullText()).hasMatch())
            << c.what << ": " << n->FullText().toStdString();
        EXPECT_TRUE(n->screen()->availableGeometry().contains(n->frameGeometry()))
            << c.what << ": on the screen, a long path shortened";
        EXPECT_EQ(n->window()->parentWidget(), c.window) << c.what << ": beside its window";
        for (QWidget* w : {static_cast<QWidget*>(&Form1()), static_cast<QWidget*>(&Form2())}) {
            EXPECT_FALSE(n->frameGeometry().intersects(w->frameGeometry()))
                << c.what << ": over " << w->windowTitle().toStdString();
        }
    }
    EXPECT_TRUE(WaitUntil([] { return Notice::Shown() == nullptr; },
                          std::chrono::milliseconds(Notice::kShownMs + 5000)))
        << "the notice goes by itself";

    // In zero span SAVE DATA writes nothing, and says that instead.
    EnterPlan("ZERO SPAN", "10700000", "100000");
    QTest::mouseClick(PanelControl<QPushButton>("Button7"), Qt::LeftButton);
    ASSERT_NE(Notice::Shown(), nullptr);
    EXPECT_TRUE(Notice::Shown()->text().startsWith("Zero span: SAVE DATA writes nothing"));
}

TEST_F(TakeawaysTest, ShortcutsToggleRunHoldAndCloseAsThePanelDoes) {
    StartSimulator();
    StartProgram();
    auto* run = PanelControl<QRadioButton>("RunItem");
    auto* hold = PanelControl<QRadioButton>("HoldItem");
    ASSERT_TRUE(run->isChecked());
    Press(Form2(), QKeySequence(Qt::Key_F9));
    EXPECT_TRUE(hold->isChecked());
    EXPECT_FALSE(Form1().Running());
    ASSERT_TRUE(WaitUntil([&] { return !Form1().SweepTimerActive(); })) << "sweeping stops";
    const uint64_t commands = Sim->Stats().Commands;
    // Also with the cursor in a frequency field: the key is not typed into it.
    auto* edit1 = PanelControl<QLineEdit>("Edit1");
    const QString typed = edit1->text();
    Form1().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form1()));
    edit1->setFocus();
    QTest::keySequence(edit1, QKeySequence(Qt::Key_F9));
    EXPECT_EQ(edit1->text(), typed);
    EXPECT_TRUE(run->isChecked());
    EXPECT_TRUE(WaitUntil([&] { return Sim->Stats().Commands > commands; })) << "sweeping resumes";

    // Ctrl+Q: the parameter file is written and the panel closes.
    ASSERT_FALSE(fs::exists(Dir / kParamFileName));
    Press(Form2(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_TRUE(fs::exists(Dir / kParamFileName));
    EXPECT_FALSE(Form1().isVisible());
}

TEST_F(TakeawaysTest, HelpWindowExplainsTheControlsShortcutsAndFiles) {
    StartSimulator();
    StartProgram();
    Press(Form1(), QKeySequence(Qt::Key_F1));
    QWidget* help = P->Exports->HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), "MYRL Help");
    const QString text = help->findChild<QTextBrowser*>("HelpText")->toPlainText();
    for (const char* word :
         {"THRU",         "NORM",          "CAL",          "FREX",   "REF.",
          "SWR",          "CEPSTRUM",      "F1",           "F9",     "Ctrl+P",
          "Ctrl+Shift+C", "Ctrl+S",        "Ctrl+Shift+P", "Ctrl+T", "Ctrl+Q",
          "myrl_prm.txt", "myrl_data.csv", ".png",         ".s1p",   "MYRL.ini",
          "Shift+F9",     ".myrllim",      ".myrlsetup",   "PASS",   "--limits"}) {
        EXPECT_TRUE(text.contains(word)) << word;
    }
    // Every action's shortcut is in the help, and the help's shortcuts all exist or belong
    // to the port dialog and the tools window.
    for (QAction* a : P->Extras.Actions()) {
        const QString key = a->shortcut().toString(QKeySequence::PortableText);
        EXPECT_TRUE(text.contains(key)) << key.toStdString();
    }
    // Escape closes it; F1 shows it again.
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help, Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
    Press(Form2(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(help->isVisible());
}

TEST_F(TakeawaysTest, ActionsAreOnBothBackgroundMenus) {
    StartSimulator();
    StartProgram();
    QStringList texts;
    for (QAction* a : P->Extras.Actions()) {
        texts << a->text();
        EXPECT_TRUE(Form1().actions().contains(a) && Form2().actions().contains(a))
            << a->text().toStdString();
    }
    for (const char* t :
         {"Save picture as PNG…", "Copy picture", "Save data as…", "RUN / HOLD", "Help", "Quit"}) {
        EXPECT_TRUE(texts.contains(t)) << t;
    }
}

} // namespace
} // namespace myrl
