// What the program offers beyond the two windows' own controls (choice of port, pictures
// and data files, tools, help) is reached in two ways only: a shortcut with a modifier or a
// function key, so typing in the frequency fields is never taken, and the context menu of
// either window's background. The charts keep their mouse buttons: a right button on Graph1
// or Graph2 opens no menu. With no action added, both windows behave as they always have.
// User-interface thread only.
#pragma once

#include <QKeySequence>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QWidget;

namespace myrl {

class ExtraActions {
public:
    // The windows whose background menus and shortcuts carry the actions; actions added
    // before or after a window is attached reach it alike.
    void Attach(QWidget& window);
    // Adds an action: its text in the menus (and as its tool tip), its shortcut (empty for
    // none) and what it does. The action is owned by the first attached window.
    QAction* Add(const QString& text, const QKeySequence& shortcut, std::function<void()> run);
    const std::vector<QAction*>& Actions() const { return actions_; }

private:
    std::vector<QWidget*> windows_;
    std::vector<QAction*> actions_;
};

// Keeps a widget's right button to itself: its context-menu event is neither handled nor
// passed on to the window behind it.
void KeepContextMenuOff(QWidget& widget);

} // namespace myrl
