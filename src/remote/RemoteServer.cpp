#include "RemoteServer.h"

#include "Convert.h"
#include "InstrumentCommands.h"
#include "ScpiSession.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace myrl {

namespace {

std::string errnoText(int e) {
    return std::strerror(e);
}

void closeFd(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

// The user id of the process at the other end of a loopback TCP connection: its socket is
// the one of the kernel's table whose local address is our peer and whose remote address
// is us.
std::optional<uid_t> tcpPeerUid(int fd) {
    sockaddr_storage local{}, peer{};
    socklen_t ll = sizeof local, pl = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &ll) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &pl) != 0 ||
        local.ss_family != peer.ss_family) {
        return std::nullopt;
    }
    const bool v6 = local.ss_family == AF_INET6;
    // Address and port of an entry as the table writes them: the address's 32-bit words
    // in hex as the machine holds them, the port in hex.
    auto key = [v6](const sockaddr_storage& a) {
        const unsigned char* bytes;
        size_t n;
        unsigned port;
        if (v6) {
            const auto& s = reinterpret_cast<const sockaddr_in6&>(a);
            bytes = s.sin6_addr.s6_addr;
            n = 16;
            port = ntohs(s.sin6_port);
        } else {
            const auto& s = reinterpret_cast<const sockaddr_in&>(a);
            bytes = reinterpret_cast<const unsigned char*>(&s.sin_addr.s_addr);
            n = 4;
            port = ntohs(s.sin_port);
        }
        std::string k;
        char buf[16];
        for (size_t w = 0; w < n; w += 4) {
            uint32_t word = 0;
            std::memcpy(&word, bytes + w, 4);
            std::snprintf(buf, sizeof buf, "%08X", word);
            k += buf;
        }
        std::snprintf(buf, sizeof buf, ":%04X", port);
        return k + buf;
    };
    const std::string wantLocal = key(peer), wantRemote = key(local);
    std::ifstream table(v6 ? "/proc/net/tcp6" : "/proc/net/tcp");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        char l[64] = {}, r[64] = {};
        unsigned st = 0, uid = 0;
        if (std::sscanf(line.c_str(), " %*u: %63s %63s %X %*s %*s %*s %u", l, r, &st, &uid) != 4) {
            continue;
        }
        if (strcasecmp(l, wantLocal.c_str()) == 0 && strcasecmp(r, wantRemote.c_str()) == 0) {
            return static_cast<uid_t>(uid);
        }
    }
    return std::nullopt;
}

std::optional<uid_t> peerUid(int fd, bool unixSocket) {
    if (unixSocket) {
        ucred cred{};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) {
            return std::nullopt;
        }
        return cred.uid;
    }
    return tcpPeerUid(fd);
}

std::string peerName(int fd) {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        return "a client";
    }
    char host[INET6_ADDRSTRLEN] = {};
    if (a.ss_family == AF_INET) {
        const auto& s = reinterpret_cast<const sockaddr_in&>(a);
        ::inet_ntop(AF_INET, &s.sin_addr, host, sizeof host);
        return std::string(host) + ":" + std::to_string(ntohs(s.sin_port));
    }
    if (a.ss_family == AF_INET6) {
        const auto& s = reinterpret_cast<const sockaddr_in6&>(a);
        ::inet_ntop(AF_INET6, &s.sin6_addr, host, sizeof host);
        return "[" + std::string(host) + "]:" + std::to_string(ntohs(s.sin6_port));
    }
    return "a client of the unix socket";
}

// A listening TCP socket on a loopback address; -1 with `err` set when it cannot be had.
int listenTcp(int family, int port, int* boundPort, int* err) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage a{};
    socklen_t len = 0;
    if (family == AF_INET6) {
        // ::1 alone: never the IPv4 addresses through a dual-stack socket.
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        auto& s = reinterpret_cast<sockaddr_in6&>(a);
        s.sin6_family = AF_INET6;
        s.sin6_addr = in6addr_loopback;
        s.sin6_port = htons(static_cast<uint16_t>(port));
        len = sizeof s;
    } else {
        auto& s = reinterpret_cast<sockaddr_in&>(a);
        s.sin_family = AF_INET;
        s.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        s.sin_port = htons(static_cast<uint16_t>(port));
        len = sizeof s;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 4) != 0) {
        *err = errno;
        ::close(fd);
        return -1;
    }
    sockaddr_storage bound{};
    socklen_t bl = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &bl);
    *boundPort = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                          : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    return fd;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Addresses

std::optional<RemoteAddress> ParseRemoteAddress(std::string_view text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<RemoteAddress> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (text == "unix") {
        return RemoteAddress{RemoteAddress::Kind::Unix, 0};
    }
    if (text.substr(0, 4) == "tcp:") {
        const std::string_view digits = text.substr(4);
        int port = -1;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() ||
            port < 0 || port > 65535) {
            return fail(QuotedText(std::string(digits)) + " is no TCP port (1 to 65535)");
        }
        return RemoteAddress{RemoteAddress::Kind::Tcp, port};
    }
    return fail(QuotedText(std::string(text)) +
                " is neither tcp:PORT nor unix (remote control listens on this computer only)");
}

std::string RemoteAddressText(const RemoteAddress& a) {
    return a.Type == RemoteAddress::Kind::Unix ? "unix" : "tcp:" + std::to_string(a.Port);
}

std::string RemoteSocketPath() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (!dir || dir[0] != '/') {
        throw std::runtime_error("XDG_RUNTIME_DIR is not set (or not an absolute path): there is "
                                 "no folder of this user's for the socket");
    }
    struct stat st {};
    if (::stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw std::runtime_error(std::string(dir) + " (XDG_RUNTIME_DIR) is not a folder");
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & 0077) != 0) {
        throw std::runtime_error(std::string(dir) +
                                 " (XDG_RUNTIME_DIR) is not this user's alone (it must be "
                                 "owned by the user, mode 0700)");
    }
    std::string path = std::string(dir) + "/" + kRemoteSocketName;
    if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        throw std::runtime_error(path + ": the path is too long for a socket");
    }
    return path;
}

// ---------------------------------------------------------------------------------------
// The server

RemoteServer::RemoteServer(Instrument& core, InstrumentCommands& commands)
    : core_(core), commands_(commands) {
    events_ = core_.Subscribe([this](InstrumentEvent) {
        if (session_ && session_->Waiting()) {
            continueDue_ = true;
            if (OnContinue) {
                OnContinue();
            }
        }
    });
}

RemoteServer::~RemoteServer() {
    OnWatchesChanged = nullptr;
    OnNote = nullptr;
    Close();
}

void RemoteServer::Listen(const RemoteAddress& address) {
    Close();
    if (address.Type == RemoteAddress::Kind::Unix) {
        const std::string path = RemoteSocketPath();
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) {
            if (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid()) {
                throw std::runtime_error(path + " exists and is not a socket of this user's");
            }
            // A socket left by a program that ended, or one that still listens.
            const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un a{};
            a.sun_family = AF_UNIX;
            std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
            const bool alive =
                probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            const int why = errno;
            closeFd(probe);
            if (alive) {
                throw std::runtime_error(path + ": another program listens there (is MYRL "
                                                "already under remote control?)");
            }
            if (why != ECONNREFUSED || ::unlink(path.c_str()) != 0) {
                throw std::runtime_error(path +
                                         ": exists and cannot be replaced: " + errnoText(why));
            }
        }
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            throw std::runtime_error("cannot make a unix socket: " + errnoText(errno));
        }
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
        // Created readable and writable by the user alone.
        const mode_t old = ::umask(0177);
        const int b = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        const int bindErr = errno;
        ::umask(old);
        if (b != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 4) != 0) {
            const int e = b != 0 ? bindErr : errno;
            ::close(fd);
            throw std::runtime_error(path + ": cannot listen: " + errnoText(e));
        }
        if (::stat(path.c_str(), &st) == 0) {
            unixDev_ = st.st_dev;
            unixIno_ = st.st_ino;
        }
        unixPath_ = path;
        listeners_.push_back(fd);
        changed();
        return;
    }

    // TCP: 127.0.0.1, and ::1 on the same port where the machine has IPv6.
    for (int attempt = 0; attempt < 20; ++attempt) {
        int err = 0, bound = 0;
        const int v4 = listenTcp(AF_INET, address.Port, &bound, &err);
        if (v4 < 0) {
            throw std::runtime_error("127.0.0.1:" + std::to_string(address.Port) +
                                     ": cannot listen: " + errnoText(err));
        }
        int err6 = 0, bound6 = 0;
        const int v6 = listenTcp(AF_INET6, bound, &bound6, &err6);
        if (v6 < 0 && err6 == EADDRINUSE) {
            ::close(v4);
            if (address.Port == 0) {
                continue; // another program has that port on ::1: another free one
            }
            throw std::runtime_error("[::1]:" + std::to_string(bound) +
                                     ": cannot listen: " + errnoText(err6));
        }
        listeners_.push_back(v4);
        if (v6 >= 0) {
            listeners_.push_back(v6); // without IPv6 (no ::1), 127.0.0.1 alone
        }
        port_ = bound;
        changed();
        return;
    }
    throw std::runtime_error("no free TCP port on both loopback addresses");
}

void RemoteServer::Close() {
    dropClient("");
    for (int fd : listeners_) {
        ::close(fd);
    }
    listeners_.clear();
    port_ = 0;
    if (!unixPath_.empty()) {
        // Removed only while it is still the socket made here.
        struct stat st {};
        if (::lstat(unixPath_.c_str(), &st) == 0 && st.st_dev == unixDev_ &&
            st.st_ino == unixIno_) {
            ::unlink(unixPath_.c_str());
        }
        unixPath_.clear();
    }
    changed();
}

std::string RemoteServer::Where() const {
    if (!unixPath_.empty()) {
        return unixPath_;
    }
    if (listeners_.empty()) {
        return "";
    }
    const std::string p = std::to_string(port_);
    return "127.0.0.1:" + p + (listeners_.size() > 1 ? " and [::1]:" + p : "");
}

std::vector<RemoteServer::Watch> RemoteServer::Watches() const {
    std::vector<Watch> w;
    for (int fd : listeners_) {
        w.push_back({fd, true, false});
    }
    if (client_ >= 0) {
        w.push_back(
            {client_, session_->Backlog() < ScpiSession::kBacklogMax, !session_->Output().empty()});
    }
    return w;
}

void RemoteServer::Ready(int fd, bool readable, bool writable, bool hangup) {
    if (busy_) {
        return; // a command under way let the event loop run: it comes back
    }
    busy_ = true;
    for (int l : listeners_) {
        if (fd == l && readable) {
            accept(l);
        }
    }
    if (fd == client_ && client_ >= 0) {
        if (writable) {
            flush();
        }
        if (readable && client_ >= 0) {
            readClient();
        }
        if (hangup && client_ >= 0 && session_->Backlog() >= ScpiSession::kBacklogMax) {
            dropClient("hung up"); // its lines could not all be read: none of the rest counts
        }
    }
    busy_ = false;
}

void RemoteServer::Poll(int timeoutMs, const sigset_t* sigmask) {
    if (busy_) {
        return;
    }
    if (continueDue_) {
        Continue();
        timeoutMs = 0;
    }
    const std::vector<Watch> watches = Watches();
    std::vector<pollfd> fds;
    for (const Watch& w : watches) {
        fds.push_back(
            {w.Fd, static_cast<short>((w.Read ? POLLIN : 0) | (w.Write ? POLLOUT : 0)), 0});
    }
    timespec ts{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
    const int n = ::ppoll(fds.data(), fds.size(), timeoutMs < 0 ? nullptr : &ts, sigmask);
    if (n <= 0) {
        return;
    }
    for (const pollfd& p : fds) {
        if (p.revents) {
            // A hang-up or an error is learnt from the read.
            Ready(p.fd, (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0, (p.revents & POLLOUT) != 0,
                  (p.revents & (POLLHUP | POLLERR)) != 0);
        }
    }
    if (continueDue_) {
        Continue();
    }
}

void RemoteServer::Continue() {
    if (busy_) {
        continueDue_ = true;
        return;
    }
    continueDue_ = false;
    if (!session_) {
        return;
    }
    busy_ = true;
    session_->Continue();
    flush();
    busy_ = false;
    changed();
}

void RemoteServer::accept(int listener) {
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return; // EAGAIN: all taken; anything else: the next one may do
        }
        const std::string name = peerName(fd);
        const auto uid = peerUid(fd, !unixPath_.empty());
        if (!uid || *uid != ::geteuid()) {
            refuse(fd, "MYRL: refused: remote control answers only the user who runs MYRL\n",
                   "refused " + name + (uid ? " (user " + std::to_string(*uid) + ")" : "") +
                       ": not this user");
            continue;
        }
        if (client_ >= 0) {
            // The client may have gone just now, its end not yet read: then this one is next.
            readClient();
        }
        if (client_ >= 0) {
            refuse(fd, "MYRL: another client is connected; remote control serves one at a time\n",
                   "refused " + name + ": another client is connected");
            continue;
        }
        if (unixPath_.empty()) {
            // Answers go out as soon as they are written: a client waits for each one.
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        client_ = fd;
        clientName_ = name;
        session_ = std::make_unique<ScpiSession>(commands_.Interpreter());
        if (OnNote) {
            OnNote("remote control: " + name + " connected");
        }
        changed();
    }
}

void RemoteServer::refuse(int fd, const std::string& line, const std::string& note) {
    [[maybe_unused]] const ssize_t n =
        ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    // What it sent already is read and dropped: closed unread, it would reset the connection
    // and could take the line with it.
    ::shutdown(fd, SHUT_WR);
    char drop[4096];
    while (::recv(fd, drop, sizeof drop, MSG_DONTWAIT) > 0) {
    }
    ::close(fd);
    if (OnNote) {
        OnNote("remote control: " + note);
    }
}

void RemoteServer::readClient() {
    char buf[16384];
    // A little at a time: the instrument's other work goes on between the reads.
    for (int rounds = 0; rounds < 4 && client_ >= 0; ++rounds) {
        if (session_->Backlog() >= ScpiSession::kBacklogMax) {
            break; // the client sends faster than its lines are carried out
        }
        const ssize_t n = ::recv(client_, buf, sizeof buf, MSG_DONTWAIT);
        if (n == 0) {
            dropClient("closed the connection");
            return;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                dropClient(errnoText(errno));
                return;
            }
            break;
        }
        session_->Receive(std::string_view(buf, static_cast<size_t>(n)));
        flush();
    }
    changed();
}

void RemoteServer::flush() {
    if (client_ < 0) {
        return;
    }
    std::string& out = session_->Output();
    const bool wasFull = out.size() >= ScpiSession::kOutputMax;
    size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t n =
            ::send(client_, out.data() + sent, out.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        out.erase(0, sent);
        dropClient(errnoText(errno));
        return;
    }
    out.erase(0, sent);
    if (wasFull && out.size() < ScpiSession::kOutputMax) {
        session_->Continue(); // the lines held back by a full output
        flush();
    }
}

void RemoteServer::dropClient(const std::string& why) {
    if (client_ < 0) {
        return;
    }
    ::close(client_);
    client_ = -1;
    session_.reset(); // what it left unfinished goes with it
    if (OnNote && !why.empty()) {
        OnNote("remote control: " + clientName_ + " left (" + why + ")");
    }
    changed();
}

void RemoteServer::changed() {
    if (OnWatchesChanged) {
        OnWatchesChanged();
    }
}

} // namespace myrl
