// Trouble the user must see without looking for it (no reply from the unit, a lost line, a
// port not open, a run that does not sweep) goes in front of the titles of the program's
// windows: "No reply from COM1 — MYRL  Ver. 1.43". The window manager draws the titles, so
// no pixel inside a window changes; with no alert every title is the window's own.
// User-interface thread only.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

namespace myrl {

class TitleAlert {
public:
    // From now on the window's title carries the alert; a title the window sets itself later
    // is kept behind it.
    void Track(QWidget& window);
    // The alert in front of every tracked title; empty takes it away.
    void Set(const QString& alert);
    const QString& Alert() const { return alert_; }

    // "<alert> — <title>", or the title alone without an alert.
    static QString Titled(const QString& alert, const QString& title);

private:
    void apply(QWidget& window, const QString& before) const;

    std::vector<QPointer<QWidget>> windows_;
    QString alert_;
};

} // namespace myrl
