// The running program: the instrument core and its two windows, created in order (control
// panel first, then the display window, whose creation starts the measurement), with the
// extras around them. One instance; user-interface thread only.
#pragma once

#include "ExtraActions.h"
#include "Instrument.h"
#include "StartSequence.h"
#include "Startup.h"
#include "TitleAlert.h"

#include <memory>
#include <string>

namespace myrl {

class DisplayView;
class PanelView;
class TForm1;
class TForm2;
class RemoteService;
class ToolsWindow;
class Takeaways;

class Program : public StartSequence {
public:
    // Creates both windows, shows them and runs the display window's creation handler:
    // parameter file, port, presentation, frequency plan, blank charts, averaging, timer.
    // A failure there is reported and leaves the timer off.
    explicit Program(StartOptions options = {});
    ~Program();

    // StartSequence: the parameter file and the port, and whether the start ran through.
    void LoadParams() override;
    void SaveParams() override;
    bool Started() const override { return started_; }

    // The instrument: the measurement, the port, the cycle. The windows are its views.
    Instrument Core;
    // The actions beyond the windows' own controls, on both windows' background menus and
    // shortcuts.
    ExtraActions Extras;
    // The two windows. Each reaches the other only through its interface.
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    PanelView& Panel();
    DisplayView& Display();
    // Pictures and data files to take away, the RUN/HOLD and close keys, the help window.
    std::unique_ptr<Takeaways> Exports;
    // The tools window "MYRL Tools" (Ctrl+T), made when it is first opened.
    ToolsWindow& Tools();
    bool ToolsMade() const { return tools_ != nullptr; }
    // Remote control (SCPI on a socket of this computer): listening when the command line
    // or the user's setting asks for it.
    RemoteService& Remote() { return *remote_; }

private:
    void printLink();
    // The alert in front of the windows' titles: the link's trouble, or a run that does not
    // sweep because its start failed.
    void showAlert();

    std::unique_ptr<Startup> startup_;
    std::unique_ptr<ToolsWindow> tools_;
    std::unique_ptr<RemoteService> remote_;
    bool started_ = false;
    bool startTried_ = false;
    TitleAlert alert_;
    Instrument::Subscription statusTip_;
    Instrument::Subscription linkLines_;
    LinkKind shownKind_ = LinkKind::Closed;
    std::string shownCurve_;
};

} // namespace myrl
