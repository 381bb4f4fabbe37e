#include "Program.h"

#include "ErrorReport.h"
#include "PortDialog.h"
#include "RemoteSection.h"
#include "RemoteService.h"
#include "TForm1.h"
#include "TForm2.h"
#include "Takeaways.h"
#include "ToolsWindow.h"
#include "UserSettings.h"
#include "Widgets.h"

#include <QLoggingCategory>
#include <QSettings>

namespace myrl {

namespace {

// The link's lines on standard error: "myrl: COM1 → /dev/ttyUSB0: unit replying". Users
// silence them with QT_LOGGING_RULES="myrl.info=false".
Q_LOGGING_CATEGORY(linkLog, "myrl", QtInfoMsg)

} // namespace

Program::Program(StartOptions options) {
    const std::optional<RemoteAddress> remote = options.Remote;
    Core.SetDecimalSeparator(LocaleDecimalSeparator());
    Form1 = std::make_unique<TForm1>(Core, *this);
    Form2 = std::make_unique<TForm2>(Core, *Form1, *this);
    Form1->SetDisplay(*Form2);
    startup_ = std::make_unique<Startup>(Core, *Form1, *Form2, *Form1, *Form2, std::move(options));
    Extras.Attach(*Form1);
    Extras.Attach(*Form2);
    alert_.Track(*Form1);
    alert_.Track(*Form2);
    statusTip_ = Core.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::StatusChanged) {
            Panel().SetStatusTip(Core.Status().Text());
        }
    });
    linkLines_ = Core.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::LinkChanged) {
            printLink();
            showAlert();
        }
    });
    Extras.Add(ActionGroup::Tools, "Port…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
               [this] { ShowPortDialog(Core, *this, *Form1); });
    Exports = std::make_unique<Takeaways>(Core, *Form1, *Form1, *Form2, Extras);
    Form1->show();
    Form2->show();
    try {
        Form2->FormCreate();
        started_ = true;
    } catch (const std::exception& e) {
        startTried_ = true;
        showAlert();
        ReportError(e, startup_->LeaveWhy());
    }
    startTried_ = true;
    AutoLoadCalibration(Core);
    Extras.Add(ActionGroup::Tools, QString::fromUtf8("MYRL Tools…"),
               QKeySequence(Qt::CTRL | Qt::Key_T), [this] { Tools().Open(); });
    remote_ = std::make_unique<RemoteService>(Core, *Form1, *Form2, *Exports);
    if (remote) {
        remote_->SetAddress(*remote);
    }
    if (remote || OpenUserSettings()->value(kRemoteAllowKey, false).toBool()) {
        remote_->Start();
    }
}

Program::~Program() {
    // The tools go first, then remote control (no command reaches a window on its way out),
    // then the display window: the control panel's timer and port outlive nothing that needs
    // them (the panel stops its timer and closes its port as it goes).
    tools_.reset();
    remote_.reset();
    Form2.reset();
    Form1.reset();
}

void Program::LoadParams() {
    startup_->LoadParams();
}

void Program::SaveParams() {
    startup_->SaveParams();
}

PanelView& Program::Panel() {
    return *Form1;
}

DisplayView& Program::Display() {
    return *Form2;
}

ToolsWindow& Program::Tools() {
    if (!tools_) {
        tools_ = std::make_unique<ToolsWindow>(Core, *Form2);
        alert_.Track(*tools_);
        tools_->AddSection("Remote control", new RemoteSection(*remote_));
        tools_->KeepBeside({Form1.get(), Form2.get()});
    }
    return *tools_;
}

void Program::showAlert() {
    QString alert = Q(LinkAlert(Core.Link()));
    if (alert.isEmpty() && startTried_ && !started_) {
        alert = "Not sweeping";
    }
    alert_.Set(alert);
}

void Program::printLink() {
    const LinkState& link = Core.Link();
    // Standard error hears of each new state once, not of every second it lasts.
    if (link.Kind() != shownKind_ && !link.LinkLine().empty()) {
        qCInfo(linkLog).noquote() << Q(link.LinkLine());
    }
    if (link.CurveLine().empty() != shownCurve_.empty() && !link.CurveLine().empty()) {
        qCInfo(linkLog).noquote() << Q(link.CurveLine());
    }
    shownKind_ = link.Kind();
    shownCurve_ = link.CurveLine();
}

} // namespace myrl
