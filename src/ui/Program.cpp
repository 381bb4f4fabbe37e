#include "Program.h"

#include "CommX.h"
#include "Draw.h"
#include "ErrorReport.h"
#include "FolderLock.h"
#include "Form1Layout.h"
#include "ParamFile.h"
#include "PortChoice.h"
#include "PortDialog.h"
#include "TForm1.h"
#include "TForm2.h"
#include "Takeaways.h"
#include "TextFile.h"
#include "ToolsWindow.h"
#include "Widgets.h"
#include "WindowFrames.h"

#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>

namespace myrl {

Program::Program(StartOptions options) : options_(std::move(options)) {
    Form1 = std::make_unique<TForm1>(*this);
    Form2 = std::make_unique<TForm2>(*this);
    Extras.Attach(*Form1);
    Extras.Attach(*Form2);
    Status.OnChange([this](const std::string& text) { Panel().SetStatusTip(text); });
    Extras.Add("Port…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
               [this] { ShowPortDialog(*this); });
    Exports = std::make_unique<Takeaways>(*this);
    Form1->show();
    Form2->show();
    try {
        Form2->FormCreate();
        started_ = true;
    } catch (const std::exception& e) {
        ReportError(e, leaveParamFileWhy_);
    }
    Tools = std::make_unique<ToolsWindow>(*this);
}

void Program::LeaveParamFile(const std::string& why) {
    std::fprintf(stderr, "myrl: %s\n", why.c_str());
    leaveParamFileWhy_ += leaveParamFileWhy_.empty() ? why : " " + why;
}

void Program::LockFolder() {
    folderLock_ = std::make_unique<FolderLock>(".");
    if (folderLock_->Contended()) {
        LeaveParamFile(std::string("Another MYRL runs in this folder: this one will not write ") +
                       kParamFileName + " when it closes.");
    }
}

void Program::OpenPort() {
    TCommX& port = Panel().Port();
    port.Close();
    const std::string name = port.DevicePath();
    try {
        port.Open();
    } catch (const ECommError& e) {
        Link.OpenFailed(name, CommErrorReason(e.Device, e.Errno), LinkState::Clock::now());
        showLink();
        throw;
    }
    LinkReopened();
}

void Program::SwitchPort(const std::string& device,
                         std::function<void(const std::exception* error)> done) {
    if (Form1->StepRunning()) {
        // The step waits in the port's read, which runs this: switch once it has ended.
        QTimer::singleShot(20, Form1.get(), [this, device, done = std::move(done)]() mutable {
            SwitchPort(device, std::move(done));
        });
        return;
    }
    Panel().StopLineRecovery();
    Panel().Port().SetDevice(device);
    // Whatever the old line had begun is given up; the next step starts a new sweep.
    State.RxCount = 0;
    State.ReplyText.clear();
    State.SweepStart = true;
    State.SweepAbandoned = true;
    try {
        OpenPort();
    } catch (const std::exception& e) {
        if (done) {
            done(&e);
        }
        return;
    }
    if (done) {
        done(nullptr);
    }
}

void Program::SweepStepEnded(StepResult result, bool replyComplete) {
    const auto now = LinkState::Clock::now();
    if (result == StepResult::Silent) {
        Link.NoReply(now);
    } else if (result == StepResult::Ok && replyComplete) {
        Link.Reply(now);
    } else {
        return;
    }
    showLink();
}

void Program::LinkLost() {
    Link.LineLost(LinkState::Clock::now());
    showLink();
}

void Program::LinkReopened() {
    const TCommX& port = Panel().Port();
    const std::string name = port.DevicePath();
    std::error_code ec;
    const auto device = std::filesystem::canonical(port.OpenedPath(), ec);
    Link.Opened(name, ec ? port.OpenedPath() : device.string(), LinkState::Clock::now());
    showLink();
}

void Program::showLink() {
    Status.Set(StatusTopic::Link, Link.LinkLine());
    Status.Set(StatusTopic::Curve, Link.CurveLine());
    // Standard error hears of each new state once, not of every second it lasts.
    if (Link.Kind() != shownKind_ && !Link.LinkLine().empty()) {
        std::fprintf(stderr, "myrl: %s\n", Link.LinkLine().c_str());
    }
    if (Link.CurveLine().empty() != shownCurve_.empty()) {
        if (!Link.CurveLine().empty()) {
            std::fprintf(stderr, "myrl: %s\n", Link.CurveLine().c_str());
        }
    }
    shownKind_ = Link.Kind();
    shownCurve_ = Link.CurveLine();
}

Program::~Program() {
    // The display window goes first: the control panel's timer and port outlive nothing
    // that needs them (the panel stops its timer and closes its port as it goes).
    Form2.reset();
    Form1.reset();
}

PanelView& Program::Panel() {
    return *Form1;
}

DisplayView& Program::Display() {
    return *Form2;
}

void Program::RedrawResponse() {
    GraphPlot& g = Display().Graph1Plot();
    const bool swr = Panel().SwrTicked();
    const char ts = LocaleThousandsSeparator();
    const char ds = LocaleDecimalSeparator();
    if (lastRedrawInputs_ && g.canvas().Generation() == lastRedrawGeneration_ &&
        RedrawInputs(g, State, swr, ts, ds) == *lastRedrawInputs_) {
        return;
    }
    Display().ShowReadouts(myrl::RedrawResponse(g, State, swr, ts, ds));
    // Taken after the redraw: a logarithmic chart writes 1e-99 into DispTrace.
    lastRedrawInputs_ = RedrawInputs(g, State, swr, ts, ds);
    lastRedrawGeneration_ = g.canvas().Generation();
}

std::string Program::FDefText() const {
    return Form1->FDefText();
}
std::string Program::Edit1Text() const {
    return Form1->Edit1Text();
}
std::string Program::Edit2Text() const {
    return Form1->Edit2Text();
}
void Program::SetEdit1Text(const std::string& text) {
    Panel().SetEdit1Text(text);
}
void Program::SetEdit2Text(const std::string& text) {
    Panel().SetEdit2Text(text);
}
void Program::SetFieldCaptions(const std::string& first, const std::string& second) {
    Panel().SetFieldCaptions(first, second);
}
void Program::SetSecondFieldVisible(bool visible) {
    Panel().SetSecondFieldVisible(visible);
}
void Program::SetFreqLabels(const std::string& fl, const std::string& fc, const std::string& fu,
                            const std::string& fdiv) {
    Display().SetFreqLabels(fl, fc, fu, fdiv);
}
int32_t Program::XGridNum() const {
    return Form2->Graph1Plot().XGridNum;
}
void Program::SetXRange(double xmin, double xmax) {
    Display().Graph1Plot().Xmin = xmin;
    Display().Graph1Plot().Xmax = xmax;
}

char Program::DecimalSeparator() const {
    return LocaleDecimalSeparator();
}
char Program::ThousandsSeparator() const {
    return LocaleThousandsSeparator();
}

namespace {

// Applies the parameter file's values to the windows and the state as they load.
class Loader : public ParamSink {
public:
    explicit Loader(Program& p) : p_(p) {}
    void SetPortNo(int32_t v) override { p_.Panel().Port().SetPortNo(v); }
    void SetGenClock(double v) override { p_.State.GenClock = v; }
    void SetFrexRef(double v) override { p_.State.FrexRef = v; }
    void SetLevelOffset(double v) override { p_.State.LevelOffset = v; }
    void SetFDefIndex(int32_t v) override { p_.Panel().SelectFDef(v); }
    void SetEdit1(const std::string& v) override { p_.Panel().SetEdit1Text(v); }
    void SetEdit2(const std::string& v) override { p_.Panel().SetEdit2Text(v); }
    void SetFrex(bool v) override { p_.Panel().SetFrex(v); }
    void SetMarker1X(int32_t v) override { p_.State.Marker1X = v; }
    void SetMarker2X(int32_t v) override { p_.State.Marker2X = v; }
    // Tops and lefts are those of the windows' frames. A window wholly off every screen
    // comes onto the nearest; a width the panel cannot be shown with is the layout's.
    void SetForm1Top(int32_t v) override { place(*p_.Form1, form1_, {form1_.x(), v}); }
    void SetForm1Left(int32_t v) override { place(*p_.Form1, form1_, {v, form1_.y()}); }
    void SetForm1Width(int32_t v) override {
        const int w = ShowableWidth(v, ScreenRects()) ? v : form1::kWidth;
        p_.Form1->setFixedSize(w, p_.Form1->height());
    }
    void SetForm2Top(int32_t v) override { place(*p_.Form2, form2_, {form2_.x(), v}); }
    void SetForm2Left(int32_t v) override { place(*p_.Form2, form2_, {v, form2_.y()}); }
    void PlaceForm2BesideForm1() override {
        // The panel's frame is on a screen by now, or no screen is known: keep within int.
        const int64_t left = int64_t{form1_.x()} + p_.Form1->width();
        place(*p_.Form2, form2_,
              {static_cast<int>(std::min<int64_t>(left, std::numeric_limits<int>::max())),
               form1_.y()});
    }

private:
    static void place(QWidget& w, QPoint& kept, QPoint frame) {
        kept = OntoNearestScreen(frame, w.frameGeometry().size(), ScreenRects());
        PlaceFrame(w, kept);
    }

    Program& p_;
    // Where the frames are put: a window's own position is the frame's only once the
    // window manager has framed it.
    QPoint form1_ = p_.Form1->pos();
    QPoint form2_ = p_.Form2->pos();
};

} // namespace

void LoadParams(Program& p) {
    MeasState& s = p.State;
    TForm1& f1 = *p.Form1;
    Loader load(p);
    p.LockFolder();
    if (FileCanBeRead(kParamFileName)) {
        // A file not read whole is left as it is at the close: what is in force now is
        // partly the file's and partly the layout's, and writing that would lose the rest
        // of the file for a typo in one line.
        std::vector<std::string> lines;
        try {
            lines = ReadParamLines(kParamFileName);
        } catch (const std::exception&) {
            p.LeaveParamFile(std::string(kParamFileName) +
                             " could not be read; it is left as it is when MYRL closes.");
            throw;
        }
        int line = 0;
        try {
            ApplyParamLines(lines, LocaleDecimalSeparator(), load, &line);
        } catch (const std::exception&) {
            p.LeaveParamFile("Line " + std::to_string(line) + " of " + kParamFileName +
                             " does not convert; the file is left as it is when MYRL closes: "
                             "correct the line and start MYRL again.");
            throw;
        }
    } else {
        ApplyDefaultParams(p.Display().Graph1Plot().Width(), load);
    }

    s.SweepTimeIdx = p.Panel().SweepTimeIndex();
    ApplyStartupValues(s);
    SetBackground(&f1, kPanelBackground);
    SetBackground(p.Form2.get(), kPanelBackground);
    p.Form2->setWindowTitle(f1.windowTitle());
    p.Display().PlaceRefLabel(p.Panel().RefposIndex());
    // The command line's port, else the one chosen for this folder, else line 1's; line 1
    // keeps its value either way.
    std::string device = p.Options().Port;
    std::error_code ec;
    if (const auto folder = std::filesystem::current_path(ec); device.empty() && !ec) {
        device = DefaultPortFor(folder.string());
    }
    p.Panel().Port().SetDevice(device);
    p.OpenPort();
}

void SaveParams(Program& p) {
    TForm1& f1 = *p.Form1;
    PanelView& panel = p.Panel();
    panel.StopLineRecovery();
    panel.Port().Close();
    if (p.ParamFileLeft()) {
        return;
    }
    StoredParams out;
    out.PortNo = panel.Port().PortNo();
    out.GenClock = p.State.GenClock;
    out.FrexRef = p.State.FrexRef;
    out.LevelOffset = p.State.LevelOffset;
    out.FDefIndex = panel.FDefIndex();
    out.Edit1 = panel.Edit1Text();
    out.Edit2 = panel.Edit2Text();
    out.Frex = panel.FrexTicked();
    out.Marker1X = p.State.Marker1X;
    out.Marker2X = p.State.Marker2X;
    out.Form1Top = f1.y();
    out.Form1Left = f1.x();
    out.Form1Width = f1.width();
    out.Form2Top = p.Form2->y();
    out.Form2Left = p.Form2->x();
    WriteFileReplacing(kParamFileName, FormatParamFile(out, LocaleDecimalSeparator()));
}

} // namespace myrl
