// What a user takes away from the program and the keys beyond the windows' controls: a
// picture of the display window (PNG file or clipboard), the trace as a CSV with a header
// or as a Touchstone file, the RUN/HOLD and close keys, and the help window. All of it is
// reached through the program's extra actions (shortcuts and background menus).
// User-interface thread only.
#pragma once

#include "TraceFile.h"

#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

namespace myrl {

class ExtraActions;
class Instrument;
class PanelView;

class Takeaways {
public:
    // Adds the actions to `extras`. `panelWindow` is the control panel behind `panel` (its
    // close ends the program); `display` is the display window whose picture is taken.
    Takeaways(Instrument& core, PanelView& panel, QWidget& panelWindow, QWidget& display,
              ExtraActions& extras);
    ~Takeaways();

    // The display window with everything on it, as it shows now.
    QImage Picture() const;
    // Writes Picture() as a PNG to `path`, replacing any file there; the status board
    // gets the path and time, and a notice says so. Throws EInOutError.
    void SavePicture(const QString& path);
    // Puts Picture() on the clipboard; a notice says so.
    void CopyPicture();

    enum class DataFormat { Csv, TouchstoneS21, TouchstoneS11 };
    // The formats the data can be written in now: the CSV always; the Touchstone files
    // when the trace is an S-parameter magnitude (NORM, level presentation).
    std::vector<DataFormat> DataFormats() const;
    static QString FilterText(DataFormat f);
    // Writes the trace to `path` in `format`, replacing any file there; the status board
    // gets the path and time, and a notice says so. Throws EInOutError.
    void SaveData(const QString& path, DataFormat format);

    // The name offered for a file of the current plan at this minute.
    QString OfferedName(const std::string& extension) const;
    TraceFileInfo Info() const;

    // The dialogs behind the actions: each asks for a file (starting in the folder saved
    // to last), then saves; a failure is reported in a message box.
    void SavePictureAs();
    void SaveDataAs();

    // The help window, created at its first showing.
    void ShowHelp();
    QWidget* HelpWindow() const { return help_.get(); }

private:
    QString askPath(const QString& caption, const QStringList& filters, const QString& name,
                    QString* chosenFilter);
    // The status line and a notice (Notice) of a file written.
    void saved(const QString& path);
    // The window a notice stands beside.
    QWidget& noticeWindow() const;

    Instrument& core_;
    PanelView& panel_;
    QWidget& panelWindow_;
    QWidget& display_;
    std::unique_ptr<QWidget> help_;
    QPointer<QWidget> askedFrom_; // the window active when the last file dialog was asked for
};

// The help text (HTML): the modes, FREX, REF, the SWR and cepstrum views, every
// shortcut and the files the program writes.
QString HelpHtml();

} // namespace myrl
