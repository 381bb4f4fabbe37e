// The actions beyond the windows' own controls: on the background menu and the shortcuts of
// both windows, never on a chart's mouse button.
#include "ProgramFixture.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace myrl {
namespace {

class ExtraActionsTest : public ProgramTest {
protected:
    // Right-clicks `window` at `pos` (window coordinates) as the window system would and
    // returns the texts of the menu that opened, if any (the menu is closed again).
    std::vector<QString> RightClick(QWidget& window, QPoint pos) {
        std::vector<QString> shown;
        bool looked = false;
        QTimer::singleShot(200, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* a : menu->actions()) {
                    shown.push_back(a->text());
                }
                menu->close();
            }
            looked = true;
        });
        QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, pos);
        WaitUntil([&] { return looked; });
        return shown;
    }
};

TEST_F(ExtraActionsTest, ReachedFromEitherBackgroundAndByShortcutButNotFromTheCharts) {
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(P->Started());
    // The program's own actions, then one more added now.
    auto texts = [&] {
        std::vector<QString> all;
        for (QAction* a : P->Extras.Actions()) {
            all.push_back(a->text());
        }
        return all;
    };
    EXPECT_EQ(RightClick(Form1(), {5, 5}), texts()) << "the program's actions";

    int runs = 0;
    P->Extras.Add("Probe", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12), [&] { ++runs; });
    ASSERT_EQ(texts().back(), "Probe");

    struct Case {
        const char* where;
        QWidget* window;
        QPoint pos;
        bool menu;
    };
    auto* graph1 = DisplayControl<QWidget>("Graph1");
    const Case cases[] = {
        {"panel background", &Form1(), {3, 3}, true},
        {"display background", &Form2(), {3, 3}, true},
        {"response chart", &Form2(), graph1->geometry().center(), false},
    };
    for (const Case& c : cases) {
        const auto shown = RightClick(*c.window, c.pos);
        if (c.menu) {
            EXPECT_EQ(shown, texts()) << c.where;
        } else {
            EXPECT_TRUE(shown.empty()) << c.where;
        }
    }

    for (QWidget* w : {static_cast<QWidget*>(&Form1()), static_cast<QWidget*>(&Form2())}) {
        const int before = runs;
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(runs, before + 1) << w->objectName().toStdString();
    }
}

// The background menus in groups, a separator between two: sweeping, files, the port and the
// tools, help, and Quit last. An action added later without a group goes after them all.
TEST_F(ExtraActionsTest, MenusInGroupsWithQuitLast) {
    StartSimulator();
    StartProgram();
    const std::vector<QString> menu = {"RUN / HOLD",
                                       "Single acquisition",
                                       "",
                                       "Save picture as PNG…",
                                       "Copy picture",
                                       "Save data as…",
                                       "",
                                       "Port…",
                                       "MYRL Tools…",
                                       "",
                                       "Help",
                                       "",
                                       "Quit"};
    for (QWidget* w : {static_cast<QWidget*>(&Form1()), static_cast<QWidget*>(&Form2())}) {
        EXPECT_EQ(RightClick(*w, {4, 4}), menu) << w->windowTitle().toStdString();
    }
    int separators = 0;
    for (QAction* a : P->Extras.Actions()) {
        separators += a->isSeparator() ? 1 : 0;
    }
    EXPECT_EQ(separators, 4);

    P->Extras.Add(ActionGroup::Files, "Probe file", {}, [] {});
    P->Extras.Add(ActionGroup::Sweep, "Probe sweep", {}, [] {});
    std::vector<QString> grown = menu;
    grown.insert(grown.begin() + 2, "Probe sweep");
    grown.insert(grown.begin() + 7, "Probe file");
    EXPECT_EQ(RightClick(Form1(), {4, 4}), grown);
}

TEST_F(ExtraActionsTest, StatusLinesAreTheProgressBarsTip) {
    StartSimulator();
    StartProgram();
    auto* bar = PanelControl<QWidget>("ProgressBar1");
    P->Core.Status().Set(StatusTopic::Saved, "saved x");
    P->Core.Status().Set(StatusTopic::Link, "link y");
    EXPECT_EQ(bar->toolTip(), "link y\nsaved x");
}

} // namespace
} // namespace myrl
