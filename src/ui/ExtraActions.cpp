#include "ExtraActions.h"

#include <QAction>
#include <QWidget>

#include <cassert>
#include <utility>

namespace myrl {

void ExtraActions::Attach(QWidget& window) {
    window.setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QAction* a : actions_) {
        window.addAction(a);
    }
    windows_.push_back(&window);
}

QAction* ExtraActions::Add(const QString& text, const QKeySequence& shortcut,
                           std::function<void()> run) {
    assert(!windows_.empty());
    auto* a = new QAction(text, windows_.front());
    a->setShortcut(shortcut);
    // The shortcut works in whichever of the windows is active.
    a->setShortcutContext(Qt::WindowShortcut);
    a->setShortcutVisibleInContextMenu(true);
    QObject::connect(a, &QAction::triggered, a, [run = std::move(run)] { run(); });
    for (QWidget* w : windows_) {
        w->addAction(a);
    }
    actions_.push_back(a);
    return a;
}

void KeepContextMenuOff(QWidget& widget) {
    widget.setContextMenuPolicy(Qt::PreventContextMenu);
}

} // namespace myrl
