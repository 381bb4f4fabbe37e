// The server's sockets as a client meets them: reachable on the loopback addresses only,
// or on a socket of the user's own; one client at a time; a client that goes mid-command
// changes nothing; another user is refused. Real sockets, polled from the test's thread.
#include "RemoteServer.h"
#include "CoreControls.h"
#include "HeadlessStart.h"
#include "Instrument.h"
#include "InstrumentCommands.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace myrl;
using namespace std::chrono_literals;

namespace {

// A client socket, closed at the end.
class Client {
public:
    explicit Client(int fd) : fd_(fd) {}
    ~Client() { Close(); }
    Client(Client&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }
    int Fd() const { return fd_; }
    bool Connected() const { return fd_ >= 0; }
    void Send(const std::string& s) const {
        ASSERT_EQ(::send(fd_, s.data(), s.size(), MSG_NOSIGNAL), static_cast<ssize_t>(s.size()));
    }

private:
    int fd_;
};

Client ConnectTcp(int family, const std::string& host, int port, unsigned scope = 0) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage a{};
    socklen_t len = 0;
    if (family == AF_INET) {
        auto& s = reinterpret_cast<sockaddr_in&>(a);
        s.sin_family = AF_INET;
        s.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, host.c_str(), &s.sin_addr);
        len = sizeof s;
    } else {
        auto& s = reinterpret_cast<sockaddr_in6&>(a);
        s.sin6_family = AF_INET6;
        s.sin6_port = htons(static_cast<uint16_t>(port));
        s.sin6_scope_id = scope;
        ::inet_pton(AF_INET6, host.c_str(), &s.sin6_addr);
        len = sizeof s;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), len) != 0) {
        ::close(fd);
        return Client(-1);
    }
    return Client(fd);
}

Client ConnectUnix(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return Client(-1);
    }
    return Client(fd);
}

class RemoteServerTest : public ::testing::Test {
protected:
    RemoteServerTest() {
        StoredParams p;
        entry_ = std::make_unique<FieldsEntry>(p.FDefIndex, p.Edit1, p.Edit2);
        StartInstrument(Core, p, *entry_);
        controls_ = std::make_unique<CoreControls>(Core, *entry_);
        commands_ = std::make_unique<InstrumentCommands>(Core, *controls_, "1.43");
        Server = std::make_unique<RemoteServer>(Core, *commands_);
        Server->OnNote = [this](const std::string& n) { Notes.push_back(n); };
    }

    // Serves for `time`.
    void Serve(std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            Server->Poll(5);
        }
    }
    // The next line `c` receives while the server is served; "<closed>" at the end of the
    // stream, "<none>" when nothing came within the time.
    std::string ReadLine(const Client& c, std::chrono::milliseconds timeout = 3s) {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            Server->Poll(2);
            char ch;
            const ssize_t n = ::recv(c.Fd(), &ch, 1, MSG_DONTWAIT);
            if (n == 0) {
                return line.empty() ? "<closed>" : line;
            }
            if (n == 1) {
                if (ch == '\n') {
                    return line;
                }
                line += ch;
            }
        }
        return "<none>";
    }
    std::string Query(const Client& c, const std::string& q) {
        c.Send(q + "\n");
        return ReadLine(c);
    }

    Instrument Core;
    std::unique_ptr<FieldsEntry> entry_;
    std::unique_ptr<CoreControls> controls_;
    std::unique_ptr<InstrumentCommands> commands_;
    std::unique_ptr<RemoteServer> Server;
    std::vector<std::string> Notes;
};

TEST(RemoteAddressTest, OnlyALoopbackPortOrTheUsersSocketCanBeAskedFor) {
    struct Case {
        const char* text;
        bool ok;
        RemoteAddress address;
    } cases[] = {
        {"tcp:5025", true, {RemoteAddress::Kind::Tcp, 5025}},
        {"tcp:0", true, {RemoteAddress::Kind::Tcp, 0}},
        {"tcp:65535", true, {RemoteAddress::Kind::Tcp, 65535}},
        {"unix", true, {RemoteAddress::Kind::Unix, 0}},
        {"tcp:65536", false, {}},
        {"tcp:-1", false, {}},
        {"tcp:", false, {}},
        {"tcp:50x", false, {}},
        {"tcp:0.0.0.0:5025", false, {}},
        {"0.0.0.0:5025", false, {}},
        {"tcp:[::]:5025", false, {}},
        {"unix:/tmp/x", false, {}},
        {"5025", false, {}},
    };
    for (const Case& c : cases) {
        std::string why;
        const auto a = ParseRemoteAddress(c.text, &why);
        EXPECT_EQ(a.has_value(), c.ok) << c.text;
        if (c.ok && a) {
            EXPECT_EQ(*a, c.address) << c.text;
        } else {
            EXPECT_FALSE(why.empty()) << c.text;
        }
    }
}

// The kernel's listening sockets on the port: 127.0.0.1 and ::1, nothing else; and a
// connection to any other address of this machine is refused.
TEST_F(RemoteServerTest, ItListensOnTheLoopbackAddressesOnly) {
    Server->Listen({RemoteAddress::Kind::Tcp, 0});
    const int port = Server->Port();
    ASSERT_GT(port, 0);
    EXPECT_EQ(Server->Where(),
              "127.0.0.1:" + std::to_string(port) + " and [::1]:" + std::to_string(port));

    char hexPort[8];
    std::snprintf(hexPort, sizeof hexPort, "%04X", port);
    std::set<std::string> listening;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string sl, local, remote, state;
            fields >> sl >> local >> remote >> state;
            if (state == "0A" && local.substr(local.size() - 4) == hexPort) {
                listening.insert(local.substr(0, local.size() - 5));
            }
        }
    }
    EXPECT_EQ(listening, (std::set<std::string>{"0100007F", "00000000000000000000000001000000"}))
        << "127.0.0.1 and ::1 as the kernel writes them";

    ifaddrs* all = nullptr;
    ASSERT_EQ(::getifaddrs(&all), 0);
    int tried = 0;
    for (ifaddrs* i = all; i; i = i->ifa_next) {
        if (!i->ifa_addr || (i->ifa_flags & IFF_LOOPBACK)) {
            continue;
        }
        char host[INET6_ADDRSTRLEN] = {};
        const int family = i->ifa_addr->sa_family;
        unsigned scope = 0;
        if (family == AF_INET) {
            ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, host,
                        sizeof host);
        } else if (family == AF_INET6) {
            const auto* s6 = reinterpret_cast<sockaddr_in6*>(i->ifa_addr);
            ::inet_ntop(AF_INET6, &s6->sin6_addr, host, sizeof host);
            scope = s6->sin6_scope_id;
        } else {
            continue;
        }
        ++tried;
        Client c = ConnectTcp(family, host, port, scope);
        EXPECT_FALSE(c.Connected()) << "reachable on " << host << " (" << i->ifa_name << ")";
    }
    ::freeifaddrs(all);
    if (tried == 0) {
        std::printf("(this machine has no address but loopback)\n");
    }
    Client v4 = ConnectTcp(AF_INET, "127.0.0.1", port);
    ASSERT_TRUE(v4.Connected());
    EXPECT_EQ(Query(v4, "*IDN?"), "MYRL,MYRL frequency-response analyser,0,1.43");
}

TEST_F(RemoteServerTest, ASecondClientIsToldAndClosedWhileTheFirstGoesOn) {
    Server->Listen({RemoteAddress::Kind::Tcp, 0});
    Client first = ConnectTcp(AF_INET, "127.0.0.1", Server->Port());
    ASSERT_TRUE(first.Connected());
    first.Send("FREQ:STAR 1MHZ;STOP 2MHZ\n");
    Serve(50ms);
    EXPECT_TRUE(Server->HasClient());

    for (int family : {AF_INET6, AF_INET}) {
        Client second = ConnectTcp(family, family == AF_INET ? "127.0.0.1" : "::1", Server->Port());
        ASSERT_TRUE(second.Connected());
        EXPECT_EQ(ReadLine(second),
                  "MYRL: another client is connected; remote control serves one at a time");
        EXPECT_EQ(ReadLine(second), "<closed>");
    }
    EXPECT_EQ(Query(first, "FREQ:STAR?;STOP?"), "1000000;2000000");
    EXPECT_EQ(Query(first, "SYST:ERR?"), "0,\"No error\"");
    EXPECT_EQ(Notes.size(), 3u);

    first.Close();
    Serve(50ms);
    EXPECT_FALSE(Server->HasClient());
    Client next = ConnectTcp(AF_INET6, "::1", Server->Port());
    EXPECT_EQ(Query(next, "FREQ:STAR?"), "1000000") << "the next client is served";
}

TEST_F(RemoteServerTest, AClientThatGoesMidCommandLeavesTheInstrumentAsItWas) {
    Server->Listen({RemoteAddress::Kind::Tcp, 0});
    const SweepSettings before = Core.Settings();
    const uint64_t restarts = Core.State().AvrResets;
    {
        Client c = ConnectTcp(AF_INET, "127.0.0.1", Server->Port());
        c.Send("FREQ:STAR 1MHZ;STOP 2MH");
        Serve(50ms);
    }
    {
        Client c = ConnectTcp(AF_INET, "127.0.0.1", Server->Port());
        // Answers never read and a reset that fails to arrive whole.
        c.Send("TRAC:POIN?;*IDN?\n*RS");
        Serve(50ms);
        ::shutdown(c.Fd(), SHUT_RDWR);
    }
    Serve(50ms);
    EXPECT_EQ(Core.Settings(), before);
    EXPECT_EQ(Core.State().AvrResets, restarts);
    Client c = ConnectTcp(AF_INET, "127.0.0.1", Server->Port());
    std::string err = Query(c, "SYST:ERR?");
    EXPECT_EQ(err, "-230,\"Data corrupt or stale;no sweep has completed yet\"")
        << "the queue is the instrument's: the complete line was carried out";
    EXPECT_EQ(Query(c, "SYST:ERR?"), "0,\"No error\"");
}

TEST_F(RemoteServerTest, TheUnixSocketIsTheUsersAloneAndGoesWithTheServer) {
    TempDir run("myrl-run");
    ::chmod(run.Path().c_str(), 0700);
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    ::setenv("XDG_RUNTIME_DIR", run.Path().c_str(), 1);
    const std::string path = (run / kRemoteSocketName).string();

    // A socket left behind by a program that ended is replaced.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ::close(fd);
    }
    Server->Listen({RemoteAddress::Kind::Unix, 0});
    EXPECT_EQ(Server->Where(), path);
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    {
        Client c = ConnectUnix(path);
        ASSERT_TRUE(c.Connected());
        EXPECT_EQ(Query(c, "*IDN?;*OPC?"), "MYRL,MYRL frequency-response analyser,0,1.43;1");
        RemoteServer another(Core, *commands_);
        EXPECT_THROW(another.Listen({RemoteAddress::Kind::Unix, 0}), std::runtime_error)
            << "a socket that still listens is not taken over";
    }
    Server->Close();
    EXPECT_NE(::lstat(path.c_str(), &st), 0) << "removed at the close";

    // Anything else at its place is never removed; a runtime folder open to others is not
    // used.
    std::ofstream(path) << "a file\n";
    try {
        Server->Listen({RemoteAddress::Kind::Unix, 0});
        ADD_FAILURE() << "listened in place of a file";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_EQ(std::ifstream(path).get(), 'a');
    std::remove(path.c_str());
    ::chmod(run.Path().c_str(), 0755);
    EXPECT_THROW(Server->Listen({RemoteAddress::Kind::Unix, 0}), std::runtime_error);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_THROW(Server->Listen({RemoteAddress::Kind::Unix, 0}), std::runtime_error);
    if (!saved.empty()) {
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    }
}

TEST_F(RemoteServerTest, APortInUseIsSaidByItsAddress) {
    Server->Listen({RemoteAddress::Kind::Tcp, 0});
    RemoteServer another(Core, *commands_);
    try {
        another.Listen({RemoteAddress::Kind::Tcp, Server->Port()});
        ADD_FAILURE() << "listened twice on one port";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(":" + std::to_string(Server->Port())),
                  std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
}

// A process of another user of this computer reaches the loopback port but is refused.
TEST_F(RemoteServerTest, AnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can play another user";
    }
    Server->Listen({RemoteAddress::Kind::Tcp, 0});
    const int port = Server->Port();
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        Client c = ConnectTcp(AF_INET, "127.0.0.1", port);
        std::string got;
        char ch;
        while (c.Connected() && ::recv(c.Fd(), &ch, 1, 0) == 1) {
            got += ch;
        }
        c.Send("*IDN?\n");
        [[maybe_unused]] const ssize_t w = ::write(pipeFds[1], got.data(), got.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string got;
    for (int k = 0; k < 300; ++k) {
        Server->Poll(10);
        char buf[256];
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, 0) == 1) {
            const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            got.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(got, "MYRL: refused: remote control answers only the user who runs MYRL\n");
    EXPECT_FALSE(Server->HasClient());
    ASSERT_FALSE(Notes.empty());
    EXPECT_NE(Notes.back().find("user 65534"), std::string::npos) << Notes.back();
}

} // namespace
