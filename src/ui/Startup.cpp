#include "Startup.h"

#include "CommX.h"
#include "DisplayView.h"
#include "Export.h"
#include "FolderLock.h"
#include "Form1Layout.h"
#include "Instrument.h"
#include "PanelView.h"
#include "ParamFile.h"
#include "PortChoice.h"
#include "TextFile.h"
#include "Widgets.h"
#include "WindowFrames.h"

#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

namespace myrl {

namespace {

// Applies the parameter file's values to the windows and the state as they load.
class Loader : public ParamSink {
public:
    Loader(Instrument& core, PanelView& panel, QWidget& form1, QWidget& form2)
        : core_(core), panel_(panel), f1_(form1), f2_(form2) {}
    void SetPortNo(int32_t v) override {
        if (TCommX* port = core_.Port()) {
            port->SetPortNo(v);
        }
    }
    void SetGenClock(double v) override { core_.State().GenClock = v; }
    void SetFrexRef(double v) override { core_.State().FrexRef = v; }
    void SetLevelOffset(double v) override { core_.State().LevelOffset = v; }
    void SetFDefIndex(int32_t v) override { panel_.SelectFDef(v); }
    void SetEdit1(const std::string& v) override { panel_.SetEdit1Text(v); }
    void SetEdit2(const std::string& v) override { panel_.SetEdit2Text(v); }
    void SetFrex(bool v) override { panel_.SetFrex(v); }
    void SetMarker1X(int32_t v) override { core_.State().Marker1X = v; }
    void SetMarker2X(int32_t v) override { core_.State().Marker2X = v; }
    // Tops and lefts are those of the windows' frames. A window wholly off every screen
    // comes onto the nearest; a width the panel cannot be shown with is the layout's.
    void SetForm1Top(int32_t v) override { place(f1_, form1_, {form1_.x(), v}); }
    void SetForm1Left(int32_t v) override { place(f1_, form1_, {v, form1_.y()}); }
    void SetForm1Width(int32_t v) override {
        const int w = ShowableWidth(v, ScreenRects()) ? v : form1::kWidth;
        f1_.setFixedSize(w, f1_.height());
    }
    void SetForm2Top(int32_t v) override { place(f2_, form2_, {form2_.x(), v}); }
    void SetForm2Left(int32_t v) override { place(f2_, form2_, {v, form2_.y()}); }
    void PlaceForm2BesideForm1() override {
        // The panel's frame is on a screen by now, or no screen is known: keep within int.
        const int64_t left = int64_t{form1_.x()} + f1_.width();
        place(f2_, form2_,
              {static_cast<int>(std::min<int64_t>(left, std::numeric_limits<int>::max())),
               form1_.y()});
    }

private:
    static void place(QWidget& w, QPoint& kept, QPoint frame) {
        kept = OntoNearestScreen(frame, w.frameGeometry().size(), ScreenRects());
        PlaceFrame(w, kept);
    }

    Instrument& core_;
    PanelView& panel_;
    QWidget& f1_;
    QWidget& f2_;
    // Where the frames are put: a window's own position is the frame's only once the
    // window manager has framed it.
    QPoint form1_ = f1_.pos();
    QPoint form2_ = f2_.pos();
};

} // namespace

Startup::Startup(Instrument& core, PanelView& panel, DisplayView& display, QWidget& form1,
                 QWidget& form2, StartOptions options)
    : core_(core), panel_(panel), display_(display), form1_(form1), form2_(form2),
      options_(std::move(options)) {}

Startup::~Startup() = default;

void Startup::LeaveParamFile(const std::string& why) {
    std::fprintf(stderr, "myrl: %s\n", why.c_str());
    leaveWhy_ += leaveWhy_.empty() ? why : " " + why;
    core_.Status().Set(StatusTopic::Files, leaveWhy_);
}

void Startup::lockFolder() {
    const auto start = std::chrono::system_clock::now();
    folderLock_ = std::make_unique<FolderLock>(".");
    if (folderLock_->Contended()) {
        LeaveParamFile(std::string("Another MYRL runs in this folder: this one will not write ") +
                       kParamFileName + " when it closes.");
    } else if (!folderLock_->Held()) {
        // The system's reason in English, whatever the locale.
        const char* reason = ::strerrordesc_np(folderLock_->Error());
        LeaveParamFile(std::string("This folder cannot be locked against a second MYRL (") +
                       (reason != nullptr ? reason : "unknown reason") +
                       "): this one will not write " + kParamFileName + " when it closes.");
    } else {
        // Temporaries of a run killed while it wrote; only the lock's holder may judge.
        RemoveStaleTemporaries(".", {kParamFileName, kExportFileName}, start);
    }
}

void Startup::LoadParams() {
    MeasState& s = core_.State();
    Loader load(core_, panel_, form1_, form2_);
    lockFolder();
    const ParamFileStart file = CheckParamFile(kParamFileName);
    if (!file.Leave.empty()) {
        LeaveParamFile(file.Leave);
    }
    std::vector<std::string> lines;
    if (file.Read) {
        // A file not read whole is left as it is at the close: what is in force now is
        // partly the file's and partly the layout's, and writing that would lose the rest
        // of the file for a typo in one line.
        try {
            lines = ReadParamLines(kParamFileName);
        } catch (const std::exception&) {
            LeaveParamFile(std::string(kParamFileName) +
                           " could not be read; it is left as it is when MYRL closes.");
            throw;
        }
        int line = 0;
        try {
            ApplyParamLines(lines, LocaleDecimalSeparator(), load, &line);
        } catch (const std::exception&) {
            LeaveParamFile("Line " + std::to_string(line) + " of " + kParamFileName +
                           " does not convert; the file is left as it is when MYRL closes: "
                           "correct the line and start MYRL again.");
            throw;
        }
    } else {
        ApplyDefaultParams(display_.Graph1Plot().Width(), load);
    }
    windowLinesRead_ = WindowLinesAsRead(lines, form1::kWidth);

    s.SweepTimeIdx = panel_.SweepTimeIndex();
    ApplyStartupValues(s);
    SetBackground(&form1_, kPanelBackground);
    SetBackground(&form2_, kPanelBackground);
    form2_.setWindowTitle(form1_.windowTitle());
    display_.PlaceRefLabel(panel_.RefposIndex());
    // The command line's port, else the one chosen for this folder, else line 1's; line 1
    // keeps its value either way.
    std::string device = options_.Port;
    std::error_code ec;
    if (const auto folder = std::filesystem::current_path(ec); device.empty() && !ec) {
        device = DefaultPortFor(folder.string());
    }
    core_.SetDevice(device);
    core_.OpenPort();
}

void Startup::SaveParams() {
    core_.ClosePort();
    if (ParamFileLeft()) {
        std::fprintf(stderr, "myrl: %s left as it was.\n", kParamFileName);
        return;
    }
    StoredParams out;
    out.PortNo = core_.Port() ? core_.Port()->PortNo() : 1;
    out.GenClock = core_.State().GenClock;
    out.FrexRef = core_.State().FrexRef;
    out.LevelOffset = core_.State().LevelOffset;
    out.FDefIndex = panel_.FDefIndex();
    out.Edit1 = panel_.Edit1Text();
    out.Edit2 = panel_.Edit2Text();
    out.Frex = panel_.FrexTicked();
    out.Marker1X = core_.State().Marker1X;
    out.Marker2X = core_.State().Marker2X;
    out.Form1Top = form1_.y();
    out.Form1Left = form1_.x();
    out.Form1Width = form1_.width();
    out.Form2Top = form2_.y();
    out.Form2Left = form2_.x();
    if (!WindowPositionsKnown()) {
        out.WindowLinesAsRead = windowLinesRead_;
    }
    WriteFileReplacing(kParamFileName, FormatParamFile(out, LocaleDecimalSeparator()));
}

} // namespace myrl
