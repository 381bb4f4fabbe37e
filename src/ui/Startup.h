// The program's start and end around the two windows: the parameter file read at the
// display window's creation (with the fixed start-up values and the port opened), and
// written as a whole at the control panel's close, after the port is closed; the lock of
// the working folder. User-interface thread only.
#pragma once

#include "ParamFile.h"
#include "RemoteServer.h"

#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace myrl {

class DisplayView;
class FolderLock;
class Instrument;
class PanelView;

// What the command line asks of a run.
struct StartOptions {
    // The device to open in place of the one line 1 of the parameter file names; empty:
    // the folder's default chosen in the Port dialog, if any, else line 1's.
    std::string Port;
    // Remote control for this run (else as the user's settings say: off unless allowed in
    // the tools window).
    std::optional<RemoteAddress> Remote = std::nullopt;
};

class Startup {
public:
    // `form1` and `form2` are the windows behind `panel` and `display`: their frames are
    // placed and their sizes kept by the file.
    Startup(Instrument& core, PanelView& panel, DisplayView& display, QWidget& form1,
            QWidget& form2, StartOptions options);
    ~Startup();

    // Reads the parameter file or its defaults, sets the start-up values, places the
    // windows and opens the port. A file not read whole is left as it is at the close.
    void LoadParams();
    // Closes the port, then writes the file (unless it is left as it is).
    void SaveParams();

    // The parameter file is left as it is at the close: it was not read whole (so the
    // values in force are not the file's), it cannot be read at all, or the folder is not
    // this run's (another instance runs in it, or it cannot be locked). `why` is an English
    // sentence for the start-up's error box, standard error and the status lines (Files).
    void LeaveParamFile(const std::string& why);
    bool ParamFileLeft() const { return !leaveWhy_.empty(); }
    const std::string& LeaveWhy() const { return leaveWhy_; }
    const StartOptions& Options() const { return options_; }

private:
    // Locks the working folder for this run; another instance holding it, or a folder that
    // cannot be locked, makes this one leave the parameter file alone. The lock's holder
    // removes the temporaries a killed run left.
    void lockFolder();

    Instrument& core_;
    PanelView& panel_;
    DisplayView& display_;
    QWidget& form1_;
    QWidget& form2_;
    StartOptions options_;
    std::string leaveWhy_;
    std::unique_ptr<FolderLock> folderLock_;
    // Lines 11 to 15 as read, for a window system that gives no positions of its own.
    WindowLines windowLinesRead_;
};

} // namespace myrl
