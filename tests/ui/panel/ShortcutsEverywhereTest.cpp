// Every shortcut of the program, pressed in every window of it: the two windows, the tools,
// the help, the Port dialog and a window made after all the actions were added. Each key
// must do its action whichever of them is active, and none while a modal dialog is open.
#include "ProgramFixture.h"

#include "ParamFile.h"
#include "PortDialog.h"
#include "Takeaways.h"
#include "ToolsWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QImage>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace myrl {
namespace {

namespace fs = std::filesystem;

class ShortcutsEverywhereTest : public ProgramTest {
protected:
    // Presses `key` in `window` (made active first). A modal file dialog opened by the key
    // is cancelled; its title is returned (empty when none opened).
    QString Press(QWidget& window, const QKeySequence& key) {
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window)) << Name(window);
        QString dialogTitle;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialogTitle = d->windowTitle();
                // Pressed again while the dialog is open: shadowed by it, nothing happens.
                const bool runningBefore = Form1().Running();
                QTest::keyClick(d, Qt::Key_F9);
                EXPECT_EQ(Form1().Running(), runningBefore) << "F9 under a modal dialog";
                d->reject();
            }
        });
        poll.start();
        QTest::keySequence(&window, key);
        poll.stop();
        return dialogTitle;
    }

    static std::string Name(const QWidget& w) {
        return w.windowTitle().toStdString() + " (" + w.objectName().toStdString() + ")";
    }

    bool Active(QWidget* w) {
        return WaitUntil([&] { return w && w->isVisible() && QApplication::activeWindow() == w; });
    }
};

TEST_F(ShortcutsEverywhereTest, EveryShortcutDoesItsActionInEveryWindow) {
    StartSimulator();

    // The windows, each opened as a user opens it.
    struct Window {
        const char* name;
        std::function<QWidget*()> open;
    };
    std::unique_ptr<QWidget> later;
    const Window windows[] = {
        {"control panel", [this]() -> QWidget* { return &Form1(); }},
        {"display window", [this]() -> QWidget* { return &Form2(); }},
        {"tools window",
         [this]() -> QWidget* {
             P->Tools().Open();
             return &P->Tools();
         }},
        {"help window",
         [this]() -> QWidget* {
             P->Exports->ShowHelp();
             return P->Exports->HelpWindow();
         }},
        {"Port dialog",
         [this]() -> QWidget* {
             ShowPortDialog(P->Core, *P, Form1());
             return Form1().findChild<PortDialog*>("PortDialog");
         }},
        {"a window made later",
         [&later]() -> QWidget* {
             later = std::make_unique<QWidget>();
             later->setWindowTitle("later");
             later->resize(200, 100);
             later->show();
             later->activateWindow();
             return later.get();
         }},
    };

    // The shortcuts and how each one's action shows. Ctrl+Q comes last: it ends the run.
    struct Key {
        QKeySequence key;
        std::function<void(QWidget&)> press;
    };
    const Key keys[] = {
        {QKeySequence(Qt::Key_F9),
         [this](QWidget& w) {
             const bool running = Form1().Running();
             Press(w, QKeySequence(Qt::Key_F9));
             EXPECT_NE(Form1().Running(), running) << "F9 in " << Name(w);
         }},
        {QKeySequence(Qt::SHIFT | Qt::Key_F9),
         [this](QWidget& w) {
             const uint64_t resets = P->Core.State().AvrResets;
             Press(w, QKeySequence(Qt::SHIFT | Qt::Key_F9));
             EXPECT_GT(P->Core.State().AvrResets, resets) << "Shift+F9 in " << Name(w);
             // A single acquisition under way, or already settled and held.
             EXPECT_TRUE(P->Core.SingleRunning() ? Form1().Running() : !Form1().Running())
                 << "Shift+F9 in " << Name(w);
         }},
        {QKeySequence(Qt::CTRL | Qt::Key_P),
         [this](QWidget& w) {
             EXPECT_EQ(Press(w, QKeySequence(Qt::CTRL | Qt::Key_P)),
                       "Save picture of the display as PNG")
                 << "Ctrl+P in " << Name(w);
         }},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
         [this](QWidget& w) {
             QApplication::clipboard()->clear();
             Press(w, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
             EXPECT_EQ(QApplication::clipboard()->image().size(), Form2().size())
                 << "Ctrl+Shift+C in " << Name(w);
         }},
        {QKeySequence(Qt::CTRL | Qt::Key_S),
         [this](QWidget& w) {
             EXPECT_TRUE(Press(w, QKeySequence(Qt::CTRL | Qt::Key_S)).startsWith("Save data as"))
                 << "Ctrl+S in " << Name(w);
         }},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
         [this](QWidget& w) {
             Press(w, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
             EXPECT_TRUE(Active(Form1().findChild<PortDialog*>("PortDialog")))
                 << "Ctrl+Shift+P in " << Name(w);
         }},
        {QKeySequence(Qt::CTRL | Qt::Key_T),
         [this](QWidget& w) {
             Press(w, QKeySequence(Qt::CTRL | Qt::Key_T));
             EXPECT_TRUE(P->ToolsMade() && Active(&P->Tools())) << "Ctrl+T in " << Name(w);
         }},
        {QKeySequence(Qt::Key_F1),
         [this](QWidget& w) {
             Press(w, QKeySequence(Qt::Key_F1));
             EXPECT_TRUE(Active(P->Exports->HelpWindow())) << "F1 in " << Name(w);
         }},
        {QKeySequence(Qt::CTRL | Qt::Key_Q),
         [this](QWidget& w) {
             fs::remove(Dir / kParamFileName);
             Press(w, QKeySequence(Qt::CTRL | Qt::Key_Q));
             EXPECT_FALSE(Form1().isVisible()) << "Ctrl+Q in " << Name(w);
             EXPECT_TRUE(fs::exists(Dir / kParamFileName)) << "Ctrl+Q in " << Name(w);
         }},
    };

    for (const Window& win : windows) {
        SCOPED_TRACE(win.name);
        StartProgram();
        ASSERT_TRUE(Errors.empty()) << Errors.front();
        // The table holds every shortcut of the program.
        std::vector<QKeySequence> programKeys;
        for (QAction* a : P->Extras.Actions()) {
            if (!a->shortcut().isEmpty()) {
                programKeys.push_back(a->shortcut());
            }
        }
        ASSERT_EQ(programKeys.size(), std::size(keys));
        for (const Key& k : keys) {
            EXPECT_NE(std::find(programKeys.begin(), programKeys.end(), k.key), programKeys.end())
                << k.key.toString().toStdString();
        }

        QWidget* w = win.open();
        ASSERT_NE(w, nullptr);
        w->activateWindow();
        ASSERT_TRUE(Active(w)) << win.name;
        for (const Key& k : keys) {
            k.press(*w);
        }
        EXPECT_TRUE(Errors.empty()) << Errors.front();
        later.reset();
        P.reset();
    }
}

} // namespace
} // namespace myrl
