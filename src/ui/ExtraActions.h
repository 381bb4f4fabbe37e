// What the program offers beyond the two windows' own controls (choice of port, pictures
// and data files, tools, help) is reached in two ways only: a shortcut with a modifier or a
// function key, so typing in the frequency fields is never taken, and the context menu of
// either window's background. The shortcuts work in every window of the program that is
// active (the two windows, the tools, the help, the Port dialog, any window made later),
// unless a modal dialog shadows them. The charts keep their mouse buttons: a right button
// on Graph1 or Graph2 opens no menu. With no action added, both windows behave as they
// always have. User-interface thread only.
#pragma once

#include <QKeySequence>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QWidget;

namespace myrl {

// Where an action stands in the background menus: the groups in this order, a separator
// between two groups.
enum class ActionGroup {
    Sweep, // RUN / HOLD
    Files, // pictures and data files
    Tools, // the port, the tools window
    Help,
    Quit,
    Later, // added without a group: after all the others, in the order added
};

class ExtraActions {
public:
    // The windows whose background menus carry the actions; actions added before or after
    // a window is attached reach it alike.
    void Attach(QWidget& window);
    // Adds an action: its text in the menus (and as its tool tip), its shortcut (empty for
    // none) and what it does, at the end of its group. The action is owned by the first
    // attached window.
    QAction* Add(ActionGroup group, const QString& text, const QKeySequence& shortcut,
                 std::function<void()> run);
    QAction* Add(const QString& text, const QKeySequence& shortcut, std::function<void()> run) {
        return Add(ActionGroup::Later, text, shortcut, std::move(run));
    }
    // The menus' entries in their order, the separators between the groups included.
    const std::vector<QAction*>& Actions() const { return actions_; }

private:
    struct Entry {
        ActionGroup Group;
        QAction* Action;
    };
    // Lays the menus out again: the groups in order, separators between them.
    void arrange();

    std::vector<QWidget*> windows_;
    std::vector<Entry> entries_;
    std::vector<QAction*> separators_;
    std::vector<QAction*> actions_;
};

// Keeps a widget's right button to itself: its context-menu event is neither handled nor
// passed on to the window behind it.
void KeepContextMenuOff(QWidget& widget);

} // namespace myrl
