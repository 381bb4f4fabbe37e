// Remote control in the windowed program: the server's sockets serviced by the event loop
// (socket notifiers; never a blocking call, so the windows never wait for a client), and the
// commands carried out through the panel's and the display's handlers, as a user's hand
// would. Commands that arrive while a sweep step waits in the port's read run there, as a
// click would. Off until started (the command line's --remote, or the tools window's
// "Allow remote control from this computer"). User-interface thread only.
#pragma once

#include "InstrumentCommands.h"
#include "RemoteControls.h"
#include "RemoteServer.h"

#include <QObject>

#include <map>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

namespace myrl {

class DisplayView;
class PanelView;
class Takeaways;

// The user setting of the tools window: remote control at every start (on tcp:5025).
constexpr const char* kRemoteAllowKey = "remote/allow";

class RemoteService : public QObject {
    Q_OBJECT

public:
    RemoteService(Instrument& core, PanelView& panel, DisplayView& display, Takeaways& exports);
    ~RemoteService() override;

    // The address Start() uses when given none: the command line's, else tcp:5025.
    void SetAddress(const RemoteAddress& address) { address_ = address; }
    const RemoteAddress& Address() const { return address_; }
    // Listens (after stopping); on failure the reason is kept for StateLine() and returned
    // (empty on success). Each change is told on standard error.
    std::string Start();
    void Stop();
    bool Listening() const { return server_.Listening(); }
    RemoteServer& Server() { return server_; }
    // "Listening on 127.0.0.1:5025 and [::1]:5025; a client is connected.", "Off.", "Not
    // listening: ..."
    std::string StateLine() const;

signals:
    void StateChanged();

private:
    class Hand;
    void syncNotifiers();

    Instrument& core_;
    std::unique_ptr<Hand> hand_;
    InstrumentCommands commands_;
    RemoteServer server_;
    RemoteAddress address_{RemoteAddress::Kind::Tcp, kRemoteDefaultPort};
    std::string failure_;
    struct Notifiers {
        QSocketNotifier* Read = nullptr;
        QSocketNotifier* Write = nullptr;
    };
    std::map<int, Notifiers> notifiers_;
    bool continuePosted_ = false;
};

} // namespace myrl
