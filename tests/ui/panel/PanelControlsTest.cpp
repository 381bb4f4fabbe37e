// Every control of the control panel as a user meets it without seeing it, or for the first
// time: its name in the accessibility tree (read through Qt's accessibility interface, as a
// screen reader reads it), its English tool tip, and its place in the help. None of these
// changes a pixel of the panel.
#include "ProgramFixture.h"

#include "Takeaways.h"
#include "UpDown.h"
#include "UserSettings.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSettings>
#include <QTextBrowser>
#include <QToolButton>

#include <functional>
#include <map>
#include <set>

namespace myrl {
namespace {

// A control of the panel: its name on the screen reader, and the words the help explains it
// with.
struct ControlRow {
    const char* object; // the control's name (its object name)
    const char* name;   // its accessible name
    std::vector<const char*> help;
};

// A drop-down is spoken by its label (Qt on Linux gives a combo box its value as its name and
// its label through the "labelled by" relation, which screen readers speak before the
// value): its name here is that label's.
const std::vector<ControlRow> kPanel = {
    {"MODE", "MODE", {"MODE", "THRU", "CAL", "NORM"}},
    {"Refpos", "REF.", {"REF.", "grid line"}},
    {"Reflvl", "REF. Level (dB)", {"REF. Level", "press Enter"}},
    {"UpDown1.up", "REF. Level up by 0.1 dB", {"0.1 dB with the arrows"}},
    {"UpDown1.down", "REF. Level down by 0.1 dB", {"0.1 dB with the arrows"}},
    {"AvrSet", "AVERAGING", {"AVERAGING", "1 to 64"}},
    {"SweepTime", "SWEEP TIME", {"SWEEP TIME", "20 s"}},
    {"ProgressBar1", "Reception of the sweep", {"progress bar"}},
    {"F_DEF", "FREQUENCY", {"START/STOP", "CENTER/SPAN", "ZERO SPAN"}},
    {"Edit1", "START (Hz)", {"10.7M", "455k", "Enter"}}, // a first run: START/STOP
    {"Edit2", "STOP (Hz)", {"10.7M", "455k", "Enter"}},
    {"Button2", "ZOOM out", {"ZOOM", "widens"}},
    {"Button3", "ZOOM in", {"ZOOM", "narrows"}},
    {"Button1", "MOVE left", {"MOVE", "a tenth"}},
    {"Button4", "MOVE right", {"MOVE", "a tenth"}},
    {"Button5", "FL=C: centre on marker FL", {"FL=C", "lower marker"}},
    {"Button6", "FU=C: centre on marker FU", {"FU=C", "upper marker"}},
    {"FREX", "FREX", {"FREX", "extension"}},
    {"SWR", "SWR", {"SWR", "standing-wave ratio"}},
    {"CEPS", "CEPSTRUM", {"CEPSTRUM", "delay"}},
    {"Button7", "SAVE DATA", {"SAVE DATA", "myrl_data.csv"}},
    {"RunItem", "RUN", {"RUN / HOLD"}},
    {"HoldItem", "HOLD", {"RUN / HOLD"}},
};

// The roles of what a user operates.
bool Operated(QAccessible::Role r) {
    return r == QAccessible::Button || r == QAccessible::CheckBox ||
           r == QAccessible::RadioButton || r == QAccessible::ComboBox ||
           r == QAccessible::EditableText || r == QAccessible::ProgressBar ||
           r == QAccessible::SpinBox;
}

// The name a screen reader speaks for a control: a drop-down's label, anything else's name.
QString Spoken(QAccessibleInterface* a) {
    if (a->role() == QAccessible::ComboBox) {
        const auto labels = a->relations(QAccessible::Label);
        return labels.isEmpty() ? QString() : labels.front().first->text(QAccessible::Name);
    }
    return a->text(QAccessible::Name);
}

class PanelControlsTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        StartSimulator();
        StartProgram();
        ASSERT_TRUE(Errors.empty()) << Errors.front();
    }

    // The control a table row names.
    QWidget* Widget(const std::string& object) {
        auto* arrows = PanelControl<UpDown>("UpDown1");
        if (object == "UpDown1.up") {
            return arrows->UpButton();
        }
        if (object == "UpDown1.down") {
            return arrows->DownButton();
        }
        return PanelControl<QWidget>(object.c_str());
    }

    // What the accessibility tree of the panel says of each control a user operates that
    // is shown: its name, by the control.
    std::map<QObject*, QString> AccessibleNames() {
        std::map<QObject*, QString> names;
        std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* a) {
            if (a == nullptr || a->state().invisible) {
                return;
            }
            if (Operated(a->role())) {
                names[a->object()] = Spoken(a);
            }
            for (int i = 0; i < a->childCount(); ++i) {
                walk(a->child(i));
            }
        };
        walk(QAccessible::queryAccessibleInterface(&Form1()));
        return names;
    }
};

TEST_F(PanelControlsTest, EveryControlIsNamedInTheAccessibilityTree) {
    auto names = AccessibleNames();
    ASSERT_FALSE(names.empty()) << "no accessibility tree";
    std::set<QObject*> listed;
    for (const ControlRow& c : kPanel) {
        QWidget* w = Widget(c.object);
        listed.insert(w);
        ASSERT_TRUE(names.count(w)) << c.object << " is not in the tree";
        EXPECT_EQ(names[w], QString::fromUtf8(c.name)) << c.object;
    }
    // The typed part of AVERAGING is the same control.
    QLineEdit* typed = PanelControl<QComboBox>("AvrSet")->lineEdit();
    listed.insert(typed);
    EXPECT_EQ(names[typed], "AVERAGING");
    // Nothing else a user operates, and nothing without a name, or named by its value.
    std::set<QString> seen;
    for (const auto& [object, name] : names) {
        const std::string what =
            object->objectName().toStdString() + " \"" + name.toStdString() + "\"";
        EXPECT_TRUE(listed.count(object)) << what << " is not in the table";
        EXPECT_FALSE(name.isEmpty()) << what;
        if (object != typed) {
            EXPECT_TRUE(seen.insert(name).second) << what << " named twice";
        }
    }

    // The frequency fields are named by their captions, whatever the definition.
    auto* fdef = PanelControl<QComboBox>("F_DEF");
    const struct {
        const char* definition;
        const char* first;
        const char* second; // the span field keeps its name while hidden in ZERO SPAN
    } plans[] = {{"START/STOP", "START (Hz)", "STOP (Hz)"},
                 {"ZERO SPAN", "FREQUENCY (Hz)", "STOP (Hz)"},
                 {"CENTER/SPAN", "CENTER (Hz)", "SPAN (Hz)"}};
    for (const auto& p : plans) {
        fdef->setCurrentIndex(fdef->findText(p.definition));
        names = AccessibleNames();
        EXPECT_EQ(names[Widget("Edit1")], p.first) << p.definition;
        auto* edit2 = QAccessible::queryAccessibleInterface(Widget("Edit2"));
        EXPECT_EQ(edit2->text(QAccessible::Name), p.second) << p.definition;
    }
}

// Every control has an English tool tip; names and tips change no pixel of the panel.
TEST_F(PanelControlsTest, ToolTipsInEnglishAndNoPixelChanged) {
    for (const ControlRow& c : kPanel) {
        if (std::string(c.object) == "ProgressBar1") {
            continue; // its tip is the link's state
        }
        const QString tip = Widget(c.object)->toolTip();
        EXPECT_GE(tip.size(), 10) << c.object;
        for (const QChar ch : tip) {
            EXPECT_LT(ch.unicode(), 0x3000) << c.object << ": " << tip.toStdString();
        }
    }
    const QImage shown = Form1().grab().toImage();
    for (QWidget* w : Form1().findChildren<QWidget*>()) {
        w->setToolTip({});
        w->setAccessibleName({});
    }
    for (QLabel* l : Form1().findChildren<QLabel*>()) {
        l->setBuddy(nullptr);
    }
    EXPECT_EQ(Form1().grab().toImage(), shown);
}

// The help explains every control of the panel, the link's states, the tools window, and
// where the files go.
TEST_F(PanelControlsTest, TheHelpExplainsEveryControl) {
    P->Exports->ShowHelp();
    const QString help =
        P->Exports->HelpWindow()->findChild<QTextBrowser*>("HelpText")->toPlainText();
    for (const ControlRow& c : kPanel) {
        for (const char* word : c.help) {
            EXPECT_TRUE(help.contains(QString::fromUtf8(word))) << c.object << ": " << word;
        }
    }
    for (const char* word :
         {// the display window
          "markers", "drag", "Averaging", "TRACE − MEMORY",
          // the link's states, as the titles give them
          "No reply from COM1", "Line lost: COM1", "COM1 not open", "Not sweeping",
          // the tools window
          "MYRL Tools", "Level scale", "Filter and peak", "Calibration", ".myrlcal",
          "Load the last one at start-up", "Trace memory", "velocity factor",
          // files, and where they go when MYRL starts from the menu
          "working folder", "home folder", "--workdir", "~/.config/MYRL/MYRL.ini"}) {
        EXPECT_TRUE(help.contains(QString::fromUtf8(word))) << word;
    }
}

// The user's settings are the file the help, the README and the manual page name.
TEST_F(PanelControlsTest, TheUserSettingsAreMyrlIni) {
    auto settings = OpenUserSettings();
    settings->setValue("probe", 1);
    settings->sync();
    EXPECT_EQ(settings->fileName().toStdString(), (Dir / "user-config/MYRL/MYRL.ini").string());
    EXPECT_TRUE(std::filesystem::exists(Dir / "user-config/MYRL/MYRL.ini"));
}

} // namespace
} // namespace myrl
