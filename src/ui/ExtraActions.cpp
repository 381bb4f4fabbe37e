#include "ExtraActions.h"

#include <QAction>
#include <QWidget>

#include <algorithm>
#include <cassert>
#include <utility>

namespace myrl {

void ExtraActions::Attach(QWidget& window) {
    window.setContextMenuPolicy(Qt::ActionsContextMenu);
    window.addActions(QList<QAction*>(actions_.begin(), actions_.end()));
    windows_.push_back(&window);
}

QAction* ExtraActions::Add(ActionGroup group, const QString& text, const QKeySequence& shortcut,
                           std::function<void()> run) {
    assert(!windows_.empty());
    auto* a = new QAction(text, windows_.front());
    a->setShortcut(shortcut);
    // The shortcut works in whichever window of the program is active: the attached
    // windows carry the action, and a modal dialog shadows it as it shadows them.
    a->setShortcutContext(Qt::ApplicationShortcut);
    a->setShortcutVisibleInContextMenu(true);
    QObject::connect(a, &QAction::triggered, a, [run = std::move(run)] { run(); });
    const auto at = std::find_if(entries_.begin(), entries_.end(),
                                 [group](const Entry& e) { return e.Group > group; });
    entries_.insert(at, Entry{group, a});
    arrange();
    return a;
}

void ExtraActions::arrange() {
    std::vector<QAction*> next;
    size_t separatorsUsed = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (i > 0 && entries_[i].Group != entries_[i - 1].Group) {
            if (separatorsUsed == separators_.size()) {
                auto* s = new QAction(windows_.front());
                s->setSeparator(true);
                separators_.push_back(s);
            }
            next.push_back(separators_[separatorsUsed++]);
        }
        next.push_back(entries_[i].Action);
    }
    for (QWidget* w : windows_) {
        for (QAction* a : actions_) {
            w->removeAction(a);
        }
        w->addActions(QList<QAction*>(next.begin(), next.end()));
    }
    actions_ = std::move(next);
}

void KeepContextMenuOff(QWidget& widget) {
    widget.setContextMenuPolicy(Qt::PreventContextMenu);
}

} // namespace myrl
