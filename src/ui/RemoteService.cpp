#include "RemoteService.h"

#include "DisplayView.h"
#include "LimitsPanel.h"
#include "PanelView.h"
#include "Takeaways.h"
#include "Widgets.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <algorithm>
#include <stdexcept>

#ifndef MYRL_VERSION
#define MYRL_VERSION "?"
#endif

namespace myrl {

namespace {

// Its lines on standard error go with the link's: "myrl: remote control on ...".
Q_LOGGING_CATEGORY(remoteLog, "myrl", QtInfoMsg)

} // namespace

// The panel's and the display's controls as a remote client's hand.
class RemoteService::Hand : public RemoteControls {
public:
    Hand(Instrument& core, PanelView& panel, DisplayView& display, Takeaways& exports)
        : core_(core), panel_(panel), display_(display), exports_(exports) {}

    int PlanDefinition() const override { return panel_.FDefIndex(); }
    void EnterPlan(int definition, const std::string& first, const std::string& second) override {
        panel_.EnterPlan(definition, first, second);
    }
    void ChooseSweepTime(int item) override { panel_.ChooseSweepTime(item); }
    void ChooseAverage(int count) override { panel_.ChooseAverage(count); }
    void ChooseMode(MeasMode mode) override { panel_.ChooseMode(ModeText(mode)); }
    void SetSwrTicked(bool on) override { panel_.SetSwrTicked(on); }
    void EnterRefLevel(double db) override { panel_.EnterRefLevel(db); }
    void ChooseRunning(bool run) override { panel_.ChooseRunning(run); }
    void StartSingle() override { panel_.StartSingle(); }
    void SetLimitsOn(bool on) override { SwitchLimits(core_, display_, on); }
    double MarkerX(int marker) const override { return display_.MarkerX(marker); }
    std::pair<double, double> MarkerRange() const override {
        const GraphPlot& g = display_.Graph1Plot();
        return {g.Xmin, g.Xmax};
    }
    void MoveMarker(int marker, double x) override { display_.MoveMarker(marker, x); }
    void SaveTrace(const std::string& path) override {
        const QString p = QString::fromStdString(path);
        Takeaways::DataFormat format = Takeaways::DataFormat::Csv;
        if (p.endsWith(".s1p", Qt::CaseInsensitive)) {
            format = Takeaways::DataFormat::TouchstoneS21;
            const auto formats = exports_.DataFormats();
            if (std::find(formats.begin(), formats.end(), format) == formats.end()) {
                throw std::invalid_argument(
                    "a Touchstone file holds a NORM level over a span (not SWR, not zero span)");
            }
        }
        exports_.SaveData(p, format); // Save data as
    }
    void LoadCalibration(const std::string& path) override { core_.LoadCalibration(path); }
    void LoadLimits(const std::string& path) override {
        ApplyLimits(core_, display_, ReadLimitFile(path));
    }

private:
    Instrument& core_;
    PanelView& panel_;
    DisplayView& display_;
    Takeaways& exports_;
};

RemoteService::RemoteService(Instrument& core, PanelView& panel, DisplayView& display,
                             Takeaways& exports)
    : core_(core), hand_(std::make_unique<Hand>(core, panel, display, exports)),
      commands_(core, *hand_, MYRL_VERSION), server_(core, commands_) {
    server_.OnWatchesChanged = [this] { syncNotifiers(); };
    server_.OnNote = [this](const std::string& line) {
        qCInfo(remoteLog).noquote() << Q(line);
        emit StateChanged();
    };
    // A command waiting for the instrument goes on once the notification that let it has
    // ended, from the event loop.
    server_.OnContinue = [this] {
        if (continuePosted_) {
            return;
        }
        continuePosted_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                continuePosted_ = false;
                server_.Continue();
            },
            Qt::QueuedConnection);
    };
}

RemoteService::~RemoteService() {
    server_.OnWatchesChanged = nullptr;
    server_.OnNote = nullptr;
    server_.Close();
    for (auto& [fd, n] : notifiers_) {
        delete n.Read;
        delete n.Write;
    }
}

std::string RemoteService::Start() {
    failure_.clear();
    try {
        server_.Listen(address_);
        qCInfo(remoteLog).noquote() << Q("remote control on " + server_.Where());
    } catch (const std::exception& e) {
        failure_ = e.what();
        qCWarning(remoteLog).noquote() << Q("remote control: " + failure_);
    }
    emit StateChanged();
    return failure_;
}

void RemoteService::Stop() {
    failure_.clear();
    if (server_.Listening()) {
        server_.Close();
        qCInfo(remoteLog).noquote() << "remote control off";
    }
    emit StateChanged();
}

std::string RemoteService::StateLine() const {
    if (!failure_.empty()) {
        return "Not listening: " + failure_;
    }
    if (!server_.Listening()) {
        return "Off.";
    }
    return "Listening on " + server_.Where() +
           (server_.HasClient() ? "; a client is connected." : "; no client connected.");
}

void RemoteService::syncNotifiers() {
    const auto watches = server_.Watches();
    // Descriptors no longer watched: their notifiers go (they may be the one running now).
    for (auto it = notifiers_.begin(); it != notifiers_.end();) {
        const bool kept =
            std::any_of(watches.begin(), watches.end(),
                        [&](const RemoteServer::Watch& w) { return w.Fd == it->first; });
        if (kept) {
            ++it;
            continue;
        }
        for (QSocketNotifier* n : {it->second.Read, it->second.Write}) {
            n->setEnabled(false);
            n->deleteLater();
        }
        it = notifiers_.erase(it);
    }
    for (const RemoteServer::Watch& w : watches) {
        auto [it, made] = notifiers_.try_emplace(w.Fd);
        if (made) {
            const int fd = w.Fd;
            it->second.Read = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            it->second.Write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
            connect(it->second.Read, &QSocketNotifier::activated, this,
                    [this, fd] { server_.Ready(fd, true, false); });
            connect(it->second.Write, &QSocketNotifier::activated, this,
                    [this, fd] { server_.Ready(fd, false, true); });
        }
        if (it->second.Read->isEnabled() != w.Read) {
            it->second.Read->setEnabled(w.Read);
        }
        if (it->second.Write->isEnabled() != w.Write) {
            it->second.Write->setEnabled(w.Write);
        }
    }
}

} // namespace myrl
