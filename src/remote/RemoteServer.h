// Remote control over a socket of this computer: TCP on the loopback addresses 127.0.0.1
// and ::1 only, or a socket in the user's runtime folder that only the user may open. One
// client at a time: another connection is told so in one line and closed, and the client
// keeps going. Only the user who runs the program may connect (a connection of another
// user of this computer is refused the same way). A client's lines are carried out as they
// complete; what a client left unfinished when it went (a line without its end, lines after
// a waiting *OPC?) is dropped, so the instrument stays as its last complete command left it.
//
// No thread of its own and never a blocking call: the owner watches the descriptors Watches()
// names (poll, or a socket notifier of the event loop), calls Ready() when one is ready and
// Continue() when asked to by OnContinue. One thread: the instrument's.
#pragma once

#include "Instrument.h"

#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace myrl {

class InstrumentCommands;
class ScpiSession;

// Where remote control listens.
struct RemoteAddress {
    enum class Kind { Tcp, Unix };
    Kind Type = Kind::Tcp;
    int Port = 0; // TCP: 1..65535, or 0 for any free port (named by Where())
    bool operator==(const RemoteAddress&) const = default;
};

// The raw-socket port bench instruments answer on.
constexpr int kRemoteDefaultPort = 5025;
// The socket's name in $XDG_RUNTIME_DIR.
constexpr const char* kRemoteSocketName = "myrl-remote.sock";

// "tcp:PORT" or "unix"; nothing for any other text, with the reason in `error`.
std::optional<RemoteAddress> ParseRemoteAddress(std::string_view text, std::string* error);
// "tcp:5025", "unix".
std::string RemoteAddressText(const RemoteAddress& a);
// $XDG_RUNTIME_DIR/myrl-remote.sock; throws std::runtime_error when the runtime folder is not
// set, not absolute, not a folder of this user's or open to others.
std::string RemoteSocketPath();

class RemoteServer {
public:
    RemoteServer(Instrument& core, InstrumentCommands& commands);
    ~RemoteServer();
    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    // Listens at `address` (after closing what listened before). Throws std::runtime_error
    // with an English line naming the address and the reason (in use, no runtime folder).
    void Listen(const RemoteAddress& address);
    // Lets the client go and stops listening; the unix socket's file is removed.
    void Close();
    bool Listening() const { return !listeners_.empty(); }
    // "127.0.0.1:5025 and [::1]:5025", or the unix socket's path; empty when not listening.
    std::string Where() const;
    // The TCP port listened on (0 for none).
    int Port() const { return port_; }
    bool HasClient() const { return client_ >= 0; }

    // The descriptors to watch: for reading (the listening sockets, the client while its
    // backlog is small) and for writing (the client while answers wait to go out).
    struct Watch {
        int Fd = -1;
        bool Read = false;
        bool Write = false;
    };
    std::vector<Watch> Watches() const;
    // `fd` can be read or written without blocking, or its other end hung up.
    void Ready(int fd, bool readable, bool writable, bool hangup = false);
    // Waits at most `timeoutMs` (-1: without limit) for the watched descriptors with
    // `sigmask` in force (ppoll: a signal ends the wait) and services them.
    void Poll(int timeoutMs, const sigset_t* sigmask = nullptr);
    // Carries on the client's waiting command, when its operations have finished.
    void Continue();

    // Asked for after an event of the instrument while the client waits: call Continue()
    // soon, from the event loop (not from inside the notification). Without it Poll() does.
    std::function<void()> OnContinue;
    // The watches may have changed (a client came or went, answers wait to go out).
    std::function<void()> OnWatchesChanged;
    // A line for standard error: a client came, went, or was refused.
    std::function<void(const std::string&)> OnNote;

private:
    void accept(int listener);
    void readClient();
    void flush();
    void dropClient(const std::string& why);
    void refuse(int fd, const std::string& line, const std::string& note);
    void changed();

    Instrument& core_;
    InstrumentCommands& commands_;
    std::vector<int> listeners_;
    int port_ = 0;
    std::string unixPath_;
    dev_t unixDev_ = 0;
    ino_t unixIno_ = 0;
    int client_ = -1;
    std::string clientName_;
    std::unique_ptr<ScpiSession> session_;
    bool busy_ = false;
    bool continueDue_ = false;
    Instrument::Subscription events_;
};

} // namespace myrl
