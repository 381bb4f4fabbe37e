// The serial component against real pseudo-terminals: the test plays the unit on the master
// side and is the component's UI thread (it runs the dispatched notifications when it pumps).
#include "CommX.h"
#include "PtyPair.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <grp.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace myrl {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kOpenFailed = "ポートをオープンできませんでした";

// A pseudo-terminal; the master end is the unit.
class Pty {
public:
    Pty() { FPair.SetMasterNonBlocking(); }

    const std::string& SlavePath() const { return FPair.SlavePath(); }
    void Send(const std::string& bytes) const {
        ASSERT_EQ(::write(FMaster, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Collects what the component sent until `count` bytes came or `limit` passed.
    std::string Receive(size_t count, std::chrono::milliseconds limit = 5000ms) const {
        std::string got;
        const auto end = Clock::now() + limit;
        while (got.size() < count && Clock::now() < end) {
            pollfd p{FMaster, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0) {
                char buf[4096];
                const ssize_t n = ::read(FMaster, buf, sizeof buf);
                if (n > 0) {
                    got.append(buf, static_cast<size_t>(n));
                }
            }
        }
        return got;
    }
    termios Settings() const {
        termios t{};
        EXPECT_EQ(::tcgetattr(FMaster, &t), 0);
        return t;
    }
    // Where the test sets the terminal's settings (they are the slave's).
    int FdForSettings() const { return FMaster; }
    void Hangup() { FPair.Hangup(); }

private:
    PtyPair FPair;
    int FMaster = FPair.Master();
};

// The test thread's event queue: the component's dispatcher posts here from its workers.
class UiLoop {
public:
    void Post(std::function<void()> task) {
        {
            std::lock_guard lock(FLock);
            FTasks.push_back(std::move(task));
        }
        FChanged.notify_all();
    }
    // Runs the tasks queued so far (the component's pending-events hook).
    void ProcessEvents() {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(FLock);
            tasks.swap(FTasks);
        }
        for (auto& task : tasks) {
            task();
        }
    }
    // Waits, without running them, until tasks are queued.
    bool WaitQueued(std::chrono::milliseconds limit = 5000ms) {
        std::unique_lock lock(FLock);
        return FChanged.wait_for(lock, limit, [this] { return !FTasks.empty(); });
    }
    // Runs tasks as they come until `done` holds.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms) {
        const auto end = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() >= end) {
                return false;
            }
            {
                std::unique_lock lock(FLock);
                FChanged.wait_for(lock, 1ms, [this] { return !FTasks.empty(); });
            }
            ProcessEvents();
        }
        return true;
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<std::function<void()>> FTasks;
};

// Runs `body` in a child process as an ordinary user: as nobody when the test runs as root
// (root passes a terminal's exclusive mode, users do not), handing `paths` to that user
// first. Returns the child's exit status, 100 + signal when it was killed.
int AsOrdinaryUser(const std::vector<std::string>& paths, const std::function<int()>& body) {
    const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    if (::geteuid() == 0 && nobody == nullptr) {
        ADD_FAILURE() << "no user nobody";
        return -1;
    }
    std::fflush(nullptr); // nothing buffered may be written twice
    const pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return -1;
    }
    if (pid == 0) {
        if (nobody) {
            for (const std::string& p : paths) {
                if (::chown(p.c_str(), nobody->pw_uid, static_cast<gid_t>(-1)) != 0) {
                    ::_exit(90);
                }
            }
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                ::setuid(nobody->pw_uid) != 0) {
                ::_exit(91);
            }
        }
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// Each test runs in its own temporary working directory, where ports are published as COMn.
class CommXTest : public ::testing::Test {
protected:
    void SetUp() override { FDir = std::make_unique<TempDir>("myrl-serial", TempDir::Enter::Yes); }
    void TearDown() override {
        comm.reset();
        FDir.reset();
    }
    static void Publish(const Pty& pty, int portNo) {
        std::filesystem::create_symlink(pty.SlavePath(), "COM" + std::to_string(portNo));
    }
    // A component set up the way the program sets up its port, wired to this test's loop.
    std::unique_ptr<TCommX> MakeComm(int portNo) {
        auto c = std::make_unique<TCommX>();
        c->SetPortNo(portNo);
        c->SetBitRate(19200);
        c->SetFlowCtrl(cfcXonXoff);
        c->SetTimeOutReceive(300);
        c->SetDispatcher([this](std::function<void()> task) { ui.Post(std::move(task)); });
        c->SetProcessEvents([this] { ui.ProcessEvents(); });
        return c;
    }
    void OpenOn(const Pty& p, int portNo = 1) {
        Publish(p, portNo);
        comm = MakeComm(portNo);
        comm->Open();
    }
    // Stops the component's output with XOFF and returns once the port has taken it in.
    void HoldLine() { HoldLine(pty); }
    void HoldLine(const Pty& unit) {
        comm->SetTimeOutTrans(0); // wait for the line without limit
        unit.Send("\x13m");       // XOFF, then a marker that shows it was processed
        ASSERT_TRUE(ui.PumpUntil([this] { return comm->ReceiveCount() == 1; }));
        comm->PurgeReceive();
    }
    static std::string Pattern(size_t n) {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i) {
            s[i] = static_cast<char>('A' + i % 26);
        }
        return s;
    }

    UiLoop ui;
    Pty pty;
    std::unique_ptr<TCommX> comm;

private:
    std::unique_ptr<TempDir> FDir;
};

TEST_F(CommXTest, OpensClosesAndReopens) {
    OpenOn(pty);
    EXPECT_TRUE(comm->Active());
    EXPECT_NE(comm->Handle(), kCommInvalidHandle);
    EXPECT_TRUE(comm->WriteString("one"));
    EXPECT_EQ(pty.Receive(3), "one");

    comm->Close();
    EXPECT_FALSE(comm->Active());
    EXPECT_EQ(comm->Handle(), kCommInvalidHandle);
    comm->Close(); // nothing when closed

    comm->Open();
    EXPECT_TRUE(comm->WriteString("two"));
    EXPECT_EQ(pty.Receive(3), "two");
}

// The unit's end of the line stays open throughout, so the terminal is never freed: only an
// exclusive mode that ended with the line lets the same user open it again.
TEST_F(CommXTest, AClosedLineOpensAgainForAnOrdinaryUser) {
    Publish(pty, 1);
    const std::string slave = pty.SlavePath();
    const int failed = AsOrdinaryUser({std::filesystem::current_path().string(), slave}, [&] {
        std::string lastRefusal; // why the last Open failed, for the report of a failed case
        const auto opens = [&](TCommX& c) {
            try {
                c.Open();
                return true;
            } catch (const ECommError& e) {
                lastRefusal = std::string(e.what()) + " (" + std::strerror(errno) + ")";
                return false;
            }
        };
        struct Case {
            const char* what;
            std::function<bool()> end; // ends an open line; false when that went wrong
        };
        const Case cases[] = {
            {"Close",
             [&] {
                 TCommX c;
                 const bool opened = opens(c);
                 c.Close();
                 return opened;
             }},
            {"destruction while open",
             [&] {
                 auto c = std::make_unique<TCommX>();
                 return opens(*c);
             }},
            {"Open failing after the device opened",
             [&] {
                 TCommX c;
                 c.SetBufLenTrans(0);
                 return !opens(c) && !c.Active();
             }},
            {"Open refused while another component holds the line",
             [&] {
                 TCommX holder;
                 TCommX second;
                 if (!opens(holder) || opens(second)) {
                     return false;
                 }
                 // The refused Open must not end the holder's exclusive mode.
                 const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                 const bool keptOut = fd < 0 && errno == EBUSY;
                 if (fd >= 0) {
                     ::close(fd);
                 }
                 return keptOut;
             }},
        };
        int index = 0;
        for (const Case& c : cases) {
            ++index;
            TCommX again;
            if (!c.end() || !opens(again)) {
                std::fprintf(stderr, "after %s: %s\n", c.what, lastRefusal.c_str());
                return index;
            }
        }
        return 0;
    });
    EXPECT_EQ(failed, 0) << "the numbered case failed (see the child's messages above)";
}

TEST_F(CommXTest, DevicePathPrefersTheLinkAndOpenedPathRemembersIt) {
    auto c = MakeComm(3);
    EXPECT_EQ(c->DevicePath(), "/dev/ttyS2");
    EXPECT_EQ(c->OpenedPath(), "");
    OpenOn(pty, 3);
    EXPECT_EQ(comm->DevicePath(), "COM3");
    EXPECT_EQ(comm->OpenedPath(), "COM3");
    comm->Close();
    std::filesystem::remove("COM3");
    EXPECT_EQ(comm->DevicePath(), "/dev/ttyS2");
    EXPECT_EQ(comm->OpenedPath(), "COM3"); // kept after Close
}

TEST_F(CommXTest, OpenAppliesTheLineSettings) {
    OpenOn(pty);
    const termios t = pty.Settings();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(cfgetispeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(comm->LineSettings().Flags, 0x1313u);
    EXPECT_EQ(comm->LineSettings().XonLim, 512);
    EXPECT_EQ(comm->Timeouts().ReadTotalTimeoutConstant, 300u);
    EXPECT_EQ(comm->Timeouts().ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(comm->TransCharTimeMs(), 1);
}

TEST_F(CommXTest, SettersApplyToAnOpenPortAtOnce) {
    // A pseudo-terminal always runs 8 data bits without parity (the driver refuses other
    // sizes and parity), so those setters are seen through their failures below.
    OpenOn(pty);
    struct Case {
        const char* name;
        std::function<void(TCommX&)> set;
        std::function<void(const termios&, TCommX&)> check;
    };
    const Case cases[] = {
        {"bit rate", [](TCommX& c) { c.SetBitRate(9600); },
         [](const termios& t, TCommX& c) {
             EXPECT_EQ(cfgetospeed(&t), B9600);
             EXPECT_EQ(c.TransCharTimeMs(), 2);
         }},
        {"two stop bits", [](TCommX& c) { c.SetStopBit(csb2); },
         [](const termios& t, TCommX&) { EXPECT_NE(t.c_cflag & CSTOPB, 0u); }},
        {"RTS/CTS", [](TCommX& c) { c.SetFlowCtrl(cfcRtsCts); },
         [](const termios& t, TCommX& c) {
             EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
             EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
             EXPECT_EQ(c.LineSettings().Flags, 0x2017u);
         }},
        {"half duplex low", [](TCommX& c) { c.SetFlowCtrl(cfcHalfLow); },
         [](const termios& t, TCommX& c) {
             EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
             EXPECT_EQ(c.LineSettings().Flags, 0x1013u);
         }},
        {"receive queue", [](TCommX& c) { c.SetBufLenReceive(1000); },
         [](const termios&, TCommX& c) {
             EXPECT_EQ(c.LineSettings().XonLim, 250);
             EXPECT_EQ(c.LineSettings().XoffLim, 250);
         }},
        {"XON character", [](TCommX& c) { c.SetXonChar(0x01); },
         [](const termios& t, TCommX&) { EXPECT_EQ(t.c_cc[VSTART], 0x01); }},
        {"XOFF character", [](TCommX& c) { c.SetXoffChar(0x02); },
         [](const termios& t, TCommX&) { EXPECT_EQ(t.c_cc[VSTOP], 0x02); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set(*comm);
        c.check(pty.Settings(), *comm);
    }
}

TEST_F(CommXTest, SetterFailuresRaiseTheirTextAndLeaveThePortOpen) {
    OpenOn(pty);
    struct Case {
        std::function<void(TCommX&)> set;
        std::function<void(TCommX&)> restore;
        const char* text;
    };
    const Case cases[] = {
        {[](TCommX& c) { c.SetBitRate(12345); }, [](TCommX& c) { c.SetBitRate(19200); },
         "通信速度の設定でエラーが発生しました"},
        {[](TCommX& c) { c.SetBitRate(5); }, [](TCommX& c) { c.SetBitRate(19200); },
         "通信速度の設定でエラーが発生しました"},
        {[](TCommX& c) { c.SetCharSize(9); }, [](TCommX& c) { c.SetCharSize(8); },
         "通信ビット数の設定でエラーが発生しました"},
        {[](TCommX& c) { c.SetParityBit(static_cast<TCommParityBits>(7)); },
         [](TCommX& c) { c.SetParityBit(cpbNone); },
         "通信パリティチェックの設定でエラーが発生しました"},
        {[](TCommX& c) { c.SetStopBit(static_cast<TCommStopBits>(7)); },
         [](TCommX& c) { c.SetStopBit(csb1); }, "通信ストップビット数の設定でエラーが発生しました"},
        {[](TCommX& c) { c.SetFlowCtrl(static_cast<TCommFlowCtrls>(9)); },
         [](TCommX& c) { c.SetFlowCtrl(cfcXonXoff); }, "通信フロー制御の設定で失敗しました"},
        {[](TCommX& c) { c.SetTimeOutReceive(-1); }, [](TCommX& c) { c.SetTimeOutReceive(300); },
         "通信タイムアウト時間の設定で失敗しました"},
        {[](TCommX& c) { c.SetXonChar(0x13); }, [](TCommX& c) { c.SetXonChar(0x11); },
         "Ｘｏｎ文字の設定でエラーが発生しました"},
        {[](TCommX& c) { c.SetXoffChar(0x11); }, [](TCommX& c) { c.SetXoffChar(0x13); },
         "Ｘｏｆｆ文字の設定でエラーが発生しました"},
        {[](TCommX& c) { c.SetBufLenTrans(0); }, [](TCommX& c) { c.SetBufLenTrans(2048); },
         "通信用ポートのバッファを準備できませんでした"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            c.set(*comm);
            ADD_FAILURE() << "no error";
        } catch (const ECommError& e) {
            EXPECT_STREQ(e.what(), c.text);
        }
        EXPECT_TRUE(comm->Active());
        c.restore(*comm);
    }
    EXPECT_EQ(comm->BufLenTrans(), 2048);
    EXPECT_TRUE(comm->WriteString("ok"));
    EXPECT_EQ(pty.Receive(2), "ok");
}

TEST_F(CommXTest, OpenFailuresAfterTheDeviceOpenedLeaveTheComponentClosed) {
    Publish(pty, 1);
    struct Case {
        std::function<void(TCommX&)> set;
        const char* text;
    };
    const Case cases[] = {
        {[](TCommX& c) { c.SetBufLenTrans(0); }, "通信用ポートのバッファを準備できませんでした"},
        {[](TCommX& c) { c.SetBitRate(5); }, "送信用スレッドを生成できませんでした"},
        {[](TCommX& c) { c.SetXoffChar(0x11); }, "Ｘｏｎ文字の設定でエラーが発生しました"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        comm = MakeComm(1);
        c.set(*comm);
        try {
            comm->Open();
            ADD_FAILURE() << "no error";
        } catch (const ECommError& e) {
            EXPECT_STREQ(e.what(), c.text);
        }
        EXPECT_FALSE(comm->Active());
        EXPECT_EQ(comm->Handle(), kCommInvalidHandle);
        comm.reset();
    }
    // The device was released each time.
    comm = MakeComm(1);
    EXPECT_NO_THROW(comm->Open());
}

TEST_F(CommXTest, OpenFailsForAnythingButAFreeTerminalDevice) {
    Publish(pty, 1);
    TCommX holder; // holds COM1
    holder.SetPortNo(1);
    holder.Open();

    ASSERT_EQ(::close(::open("COM7", O_CREAT | O_WRONLY, 0644)), 0);
    ASSERT_EQ(::mkfifo("COM8", 0644), 0);
    std::filesystem::create_symlink("/nonexistent/tty", "COM9");
    std::filesystem::create_symlink("/dev/null", "COM10");
    struct Case {
        int portNo;
        const char* what;
    };
    const Case cases[] = {
        {4000, "no COM4000 here and no /dev/ttyS3999"},
        {7, "regular file"},
        {8, "FIFO"},
        {9, "dangling link"},
        {10, "character device that is no terminal"},
        {1, "port held by another component"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TCommX port;
        port.SetPortNo(c.portNo);
        try {
            port.Open();
            ADD_FAILURE() << "opened";
        } catch (const ECommError& e) {
            EXPECT_STREQ(e.what(), kOpenFailed);
        }
        EXPECT_FALSE(port.Active());
        EXPECT_EQ(port.Handle(), kCommInvalidHandle);
    }
}

TEST_F(CommXTest, OpenWhileOpenRaisesAndKeepsThePort) {
    OpenOn(pty);
    const uint32_t handle = comm->Handle();
    try {
        comm->Open();
        ADD_FAILURE() << "no error";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "ポートは、すでにオープンされています");
    }
    EXPECT_EQ(comm->Handle(), handle);
    EXPECT_TRUE(comm->WriteString("still"));
    EXPECT_EQ(pty.Receive(5), "still");
}

TEST_F(CommXTest, ClosedPortDoesNothing) {
    TCommX c;
    char buf[4];
    EXPECT_FALSE(c.Write("x", 1));
    EXPECT_FALSE(c.WriteString("x"));
    EXPECT_TRUE(c.Write("x", 0));
    EXPECT_EQ(c.Read(buf, 4), -1);
    EXPECT_EQ(c.ReceiveCount(), 0);
    c.PurgeTrans();
    c.PurgeReceive();
    c.SetRts(true);
    c.SetDtr(true);
    c.SetBitRate(300); // stored only
    EXPECT_EQ(c.BitRate(), 300);
    EXPECT_EQ(c.Handle(), kCommInvalidHandle);
}

TEST_F(CommXTest, WriteQueuesBlocksOfBufLenTransInOrder) {
    OpenOn(pty);
    HoldLine();
    EXPECT_TRUE(comm->Write("x", 0));
    EXPECT_TRUE(comm->WriteString(""));
    EXPECT_EQ(comm->PendingBytes(), 0);
    EXPECT_EQ(comm->QueuedBlocks(), 0);

    const std::string data = Pattern(5000);
    EXPECT_TRUE(comm->WriteString(data));
    EXPECT_EQ(comm->PendingBytes(), 5000);
    EXPECT_EQ(comm->QueuedBlocks(), 3); // 2048 + 2048 + 904

    pty.Send("\x11"); // XON
    EXPECT_EQ(pty.Receive(5000), data);
    EXPECT_TRUE(ui.PumpUntil([this] { return comm->QueuedBlocks() == 0; }));
    EXPECT_EQ(comm->PendingBytes(), 0);
}

// A pseudo-terminal has no modem lines and no transmitter to drain (its output queue always
// reads empty), so the RTS timing itself cannot be seen here; what can: every burst goes out
// whole, the thread comes back for the next one, and a line that takes nothing more does not
// hold up Close.
TEST_F(CommXTest, HalfDuplexBurstsGoOutWholeAndCloseIsNotHeldUp) {
    for (const TCommFlowCtrls mode : {cfcHalfHigh, cfcHalfLow}) {
        SCOPED_TRACE(static_cast<int>(mode));
        Pty p;
        OpenOn(p, mode == cfcHalfHigh ? 1 : 2);
        comm->SetFlowCtrl(mode);
        for (const size_t n : {10, 3000}) {
            const std::string data = Pattern(n);
            EXPECT_TRUE(comm->WriteString(data));
            EXPECT_EQ(p.Receive(n), data);
            EXPECT_TRUE(ui.PumpUntil([this] { return comm->QueuedBlocks() == 0; }));
        }
        comm->SetTimeOutTrans(0);
        EXPECT_TRUE(comm->WriteString(Pattern(48 * 1024))); // more than the pty holds
        comm->Close();
        EXPECT_FALSE(comm->Active());
    }
}

TEST_F(CommXTest, PurgeTransDropsQueuedBlocks) {
    OpenOn(pty);
    HoldLine();
    comm->SetBufLenTrans(100);
    EXPECT_TRUE(comm->WriteString(Pattern(1000)));
    comm->PurgeTrans();
    EXPECT_EQ(comm->PendingBytes(), 0);
    EXPECT_EQ(comm->QueuedBlocks(), 0);

    pty.Send("\x11");
    EXPECT_TRUE(comm->WriteString("after"));
    EXPECT_EQ(pty.Receive(5), "after");
    EXPECT_EQ(pty.Receive(1, 50ms), ""); // nothing of the purged data follows
}

TEST_F(CommXTest, ResumeTransLiftsAStopByXoff) {
    OpenOn(pty);
    HoldLine(); // a stray XOFF, and no XON will follow
    EXPECT_TRUE(comm->WriteString("cmd"));
    EXPECT_EQ(pty.Receive(1, 50ms), ""); // held
    comm->PurgeTrans();                  // drops the held block; the stop stays
    EXPECT_TRUE(comm->WriteString("next"));
    EXPECT_EQ(pty.Receive(1, 50ms), "");
    comm->ResumeTrans();
    EXPECT_EQ(pty.Receive(4), "next");
    comm->ResumeTrans(); // not held: nothing changes
    EXPECT_TRUE(comm->WriteString("more"));
    EXPECT_EQ(pty.Receive(4), "more");
    comm->Close();
    comm->ResumeTrans(); // closed: nothing
}

// A stray XOFF and no XON: the component says its output is held once it has been for a
// second, through the purges that each new sweep makes, and no more once output moves.
TEST_F(CommXTest, OutputHeldIsToldUntilOutputMovesAgain) {
    OpenOn(pty);
    EXPECT_TRUE(comm->WriteString("first"));
    EXPECT_EQ(pty.Receive(5), "first");
    comm->PurgeTrans();
    EXPECT_FALSE(comm->OutputHeld());
    HoldLine();
    comm->PurgeTrans();
    EXPECT_TRUE(comm->WriteString("cmd"));
    ASSERT_TRUE(ui.PumpUntil([this] { return comm->OutputHeld(); }));
    comm->PurgeTrans(); // the next sweep's purge and command
    EXPECT_TRUE(comm->WriteString("next"));
    EXPECT_TRUE(comm->OutputHeld());
    EXPECT_EQ(pty.Receive(1, 50ms), "");

    pty.Send("\x11"); // XON
    EXPECT_EQ(pty.Receive(4), "next");
    comm->PurgeTrans();
    EXPECT_FALSE(comm->OutputHeld());
    comm->Close();
    EXPECT_FALSE(comm->OutputHeld());
}

// The line is given back as Open found it: the next program to open it (a terminal
// program, a shell on a serial console) meets its own settings, not raw 19200 bit/s.
TEST_F(CommXTest, CloseRestoresTheSettingsOpenFound) {
    termios found = pty.Settings();
    ::cfsetispeed(&found, B9600);
    ::cfsetospeed(&found, B9600);
    found.c_lflag |= ICANON | ECHO | ISIG;
    found.c_iflag |= ICRNL;
    found.c_cc[VMIN] = 1;
    found.c_cc[VEOF] = 4;
    ASSERT_EQ(::tcsetattr(pty.FdForSettings(), TCSANOW, &found), 0);
    found = pty.Settings();
    OpenOn(pty);
    EXPECT_EQ(pty.Settings().c_lflag & ICANON, 0u);
    EXPECT_EQ(::cfgetospeed(&found), B9600);
    comm->Close();
    const termios after = pty.Settings();
    EXPECT_EQ(after.c_iflag, found.c_iflag);
    EXPECT_EQ(after.c_oflag, found.c_oflag);
    EXPECT_EQ(after.c_cflag, found.c_cflag);
    EXPECT_EQ(after.c_lflag, found.c_lflag);
    EXPECT_EQ(::cfgetispeed(&after), ::cfgetispeed(&found));
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&found));
    for (size_t i = 0; i < NCCS; ++i) {
        EXPECT_EQ(after.c_cc[i], found.c_cc[i]) << "c_cc[" << i << "]";
    }
}

TEST_F(CommXTest, ReadReturnsWhatHasArrived) {
    OpenOn(pty);
    pty.Send("abcde");
    ASSERT_TRUE(ui.PumpUntil([this] { return comm->ReceiveCount() == 5; }));
    char buf[16] = {};
    EXPECT_EQ(comm->Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    EXPECT_EQ(comm->Read(buf, 16), 2);
    EXPECT_EQ(std::string(buf, 2), "de");
    EXPECT_EQ(comm->Read(nullptr, 16), -1);
}

TEST_F(CommXTest, ReadWaitsForTheFirstByteWhileEventsRun) {
    OpenOn(pty);
    int passes = 0;
    comm->SetProcessEvents([&] {
        if (++passes == 5) {
            pty.Send("z");
        }
    });
    char buf[4] = {};
    EXPECT_EQ(comm->Read(buf, 4), 1);
    EXPECT_EQ(buf[0], 'z');
    EXPECT_GE(passes, 5);
}

// With a waiting hook Read sleeps in it until the line has data (or the time is up), and
// reads once woken: one wait for a byte that comes 40 ms later, not one a millisecond. The
// hook is told the line's descriptor and at most what is left of the receive time-out; a
// handler that closes the port while the hook waits makes Read report the line gone.
TEST_F(CommXTest, ReadWaitsInTheWaitingHookUntilTheLineHasData) {
    OpenOn(pty);
    struct Wait {
        int fd;
        int ms;
    };
    std::vector<Wait> waits;
    bool closeInside = false;
    comm->SetWaitEvents([&](int fd, int ms) {
        waits.push_back({fd, ms});
        if (closeInside) {
            comm->Close();
            return;
        }
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, ms);
    });
    auto sender = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(40ms);
        pty.Send("q");
    });
    char buf[4] = {};
    EXPECT_EQ(comm->Read(buf, 4), 1);
    EXPECT_EQ(buf[0], 'q');
    sender.get();
    ASSERT_GE(waits.size(), 1u);
    EXPECT_LE(waits.size(), 3u) << "woken by the byte, not by the millisecond";
    EXPECT_GT(waits.front().fd, 2);
    EXPECT_GT(waits.front().ms, 250);
    EXPECT_LE(waits.front().ms, 300);

    waits.clear();
    comm->SetTimeOutReceive(60);
    EXPECT_EQ(comm->Read(buf, 4), 0); // nothing comes: the time-out, after few waits
    EXPECT_LE(waits.size(), 3u);

    closeInside = true;
    EXPECT_EQ(comm->Read(buf, 4), -1);
    EXPECT_FALSE(comm->Active());
}

TEST_F(CommXTest, ReadGivesZeroWhenNothingComesInTime) {
    OpenOn(pty);
    char buf[4];
    const auto start = Clock::now();
    EXPECT_EQ(comm->Read(buf, 4), 0);
    EXPECT_GE(Clock::now() - start, 299ms);
}

TEST_F(CommXTest, PurgeReceiveDiscardsTheInput) {
    OpenOn(pty);
    pty.Send("junk");
    ASSERT_TRUE(ui.PumpUntil([this] { return comm->ReceiveCount() == 4; }));
    comm->PurgeReceive();
    EXPECT_EQ(comm->ReceiveCount(), 0);
    comm->SetTimeOutReceive(0);
    char buf[8];
    EXPECT_EQ(comm->Read(buf, 8), 0);
}

TEST_F(CommXTest, HangUpReadsAsLostLine) {
    OpenOn(pty);
    pty.Hangup();
    char buf[8];
    EXPECT_EQ(comm->Read(buf, 8), -1);
    EXPECT_EQ(comm->Read(buf, 8), -1);
    EXPECT_TRUE(comm->WriteString("gone")); // queued; the thread gives it up
    comm->Close();
    EXPECT_FALSE(comm->Active());
}

TEST_F(CommXTest, OnReceiveRunsOnTheUiThreadWithTheWaitingCount) {
    OpenOn(pty);
    std::vector<int32_t> sizes;
    std::thread::id where;
    comm->OnReceive = [&](TCustomCommX& sender, int32_t size) {
        EXPECT_EQ(&sender, comm.get());
        where = std::this_thread::get_id();
        sizes.push_back(size);
    };
    pty.Send("12345");
    ASSERT_TRUE(ui.PumpUntil([&] { return !sizes.empty(); }));
    EXPECT_EQ(sizes.front(), 5);
    EXPECT_EQ(where, std::this_thread::get_id());
}

TEST_F(CommXTest, OnReceiveIsSkippedWhenTheBytesWereReadAway) {
    OpenOn(pty);
    int calls = 0;
    comm->OnReceive = [&](TCustomCommX&, int32_t) { ++calls; };
    pty.Send("xy");
    ASSERT_TRUE(ui.WaitQueued());
    char buf[4];
    EXPECT_EQ(comm->Read(buf, 4), 2); // bytes there: returns at once, runs no events
    ui.ProcessEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(CommXTest, NothingIsDeliveredAfterClose) {
    OpenOn(pty);
    int calls = 0;
    comm->OnReceive = [&](TCustomCommX&, int32_t) { ++calls; };
    pty.Send("xy");
    ASSERT_TRUE(ui.WaitQueued()); // the receive thread now waits for the UI thread
    comm->Close();                // and must be let go
    ui.ProcessEvents();
    EXPECT_EQ(calls, 0);
    comm.reset();
    ui.ProcessEvents(); // a stale task after destruction does nothing either
}

TEST_F(CommXTest, CloseFromInsideOnReceive) {
    OpenOn(pty);
    comm->OnReceive = [&](TCustomCommX& sender, int32_t) { sender.Close(); };
    pty.Send("q");
    ASSERT_TRUE(ui.PumpUntil([this] { return !comm->Active(); }));
}

TEST_F(CommXTest, PortNoChangedWhileOpenMovesToTheNewPort) {
    Pty second;
    Publish(second, 2);
    OpenOn(pty, 1);
    comm->SetPortNo(2);
    EXPECT_TRUE(comm->Active());
    EXPECT_TRUE(comm->WriteString("moved"));
    EXPECT_EQ(second.Receive(5), "moved");

    try {
        comm->SetPortNo(3); // nothing there
        ADD_FAILURE() << "no error";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), kOpenFailed);
    }
    EXPECT_FALSE(comm->Active());
}

TEST_F(CommXTest, BitRateAfterASecondOpenReachesTheNewTransmitThread) {
    OpenOn(pty);
    comm->Close();
    comm->SetBitRate(9600); // closed: stored only
    EXPECT_EQ(comm->TransCharTimeMs(), 0);
    comm->Open();
    EXPECT_EQ(comm->TransCharTimeMs(), 2);
    comm->SetBitRate(300);
    EXPECT_EQ(comm->TransCharTimeMs(), 34);
    EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(pty.Settings())), B300);
}

// Line errors cannot occur on a pseudo-terminal; these tests feed the component counters of
// their own, as a UART's driver would report them.
class LineErrorTest : public CommXTest {
protected:
    std::atomic<uint32_t> overruns{0};
    std::vector<int32_t> errors; // OnError's ErrorState, in order
    void OpenWithCounters(TCommCounterSource source) {
        Publish(pty, 1);
        comm = MakeComm(1);
        comm->SetCounterSource(std::move(source));
        comm->OnError = [this](TCustomCommX&, int32_t state) { errors.push_back(state); };
        comm->Open();
    }
};

// With a dispatcher but no pending-events hook, the transmit thread waits for the UI thread to
// take its line-error notification while the UI thread waits in Write for the transmit thread
// to finish a block.
TEST_F(LineErrorTest, WriteWithoutAnEventsHookTakesTheTransmitThreadsNotification) {
    OpenWithCounters([this](int, TCommLineCounters& c) {
        c.Overrun = ++overruns; // an overrun before every reading
        return true;
    });
    comm->SetProcessEvents(nullptr);
    comm->SetBufLenTrans(1);
    pty.Hangup(); // every block now fails on the line and is reported with the line errors
    auto write = std::async(std::launch::async, [this] { return comm->WriteString(Pattern(40)); });
    const bool returned = write.wait_for(5s) == std::future_status::ready;
    EXPECT_TRUE(returned) << "Write waits for ever";
    while (write.wait_for(1ms) != std::future_status::ready) {
        ui.ProcessEvents(); // unblocks the failed case so that the test can end
    }
    EXPECT_TRUE(write.get());
    ASSERT_FALSE(errors.empty());
    for (const int32_t e : errors) {
        EXPECT_EQ(e, 0x02);
    }
    comm->Close();
}

// The receive thread takes a reading of the counters, then an overrun happens and the UI
// thread's ReceiveCount takes and clears it, then the receive thread works with its older
// reading: nothing may be reported (the error was cleared) and nothing counted twice.
TEST_F(LineErrorTest, AnErrorClearedByReceiveCountIsNotReportedByAnOlderReading) {
    const std::thread::id uiThread = std::this_thread::get_id();
    std::mutex lock;
    std::condition_variable changed;
    bool armed = false, inside = false, released = false;
    OpenWithCounters([&](int, TCommLineCounters& c) {
        c.Overrun = overruns.load();
        if (std::this_thread::get_id() != uiThread) {
            std::unique_lock l(lock);
            if (armed) {
                armed = false;
                inside = true;
                changed.notify_all();
                // Held until the test lets go, or briefly when the UI thread cannot read
                // meanwhile (it waits for this reading to finish).
                changed.wait_for(l, 500ms, [&] { return released; });
            }
        }
        return true;
    });
    int received = 0;
    comm->OnReceive = [&](TCustomCommX&, int32_t) { ++received; };
    {
        std::lock_guard l(lock);
        armed = true;
    }
    pty.Send("x");
    {
        std::unique_lock l(lock);
        ASSERT_TRUE(changed.wait_for(l, 5s, [&] { return inside; }));
    }
    overruns = 1;
    comm->ReceiveCount();
    {
        std::lock_guard l(lock);
        released = true;
    }
    changed.notify_all();
    // The receive thread's pass ends with the characters received, after any error.
    ASSERT_TRUE(ui.PumpUntil([&] { return received > 0; }));
    EXPECT_TRUE(errors.empty()) << "reported ErrorState " << errors.front();
    pty.Send("y"); // the next pass finds no new error either
    ASSERT_TRUE(ui.PumpUntil([&] { return received > 1; }));
    EXPECT_TRUE(errors.empty()) << "reported ErrorState " << errors.front();
}

// Handlers that run inside Read's or Write's wait may close or destroy the component.
TEST_F(CommXTest, ReadAndWriteSurviveHandlersThatEndTheComponent) {
    struct Case {
        const char* what;
        bool write;
        bool destroy;
    };
    const Case cases[] = {
        {"Read, closed", false, false},
        {"Read, destroyed", false, true},
        {"Write, closed", true, false},
        {"Write, destroyed", true, true},
    };
    int portNo = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pty p;
        OpenOn(p, portNo++);
        if (c.write) {
            HoldLine(p);
            comm->SetBufLenTrans(1);
        }
        TCommX* raw = comm.get();
        int passes = 0;
        comm->SetProcessEvents([&] {
            if (++passes == 3) {
                if (c.destroy) {
                    comm.reset();
                } else {
                    comm->Close();
                }
            }
        });
        if (c.write) {
            EXPECT_FALSE(raw->WriteString(Pattern(40))); // 32 blocks fill the queue
        } else {
            char buf[4];
            EXPECT_EQ(raw->Read(buf, 4), -1);
        }
        EXPECT_EQ(passes, 3);
        comm.reset();
    }
}

// A port that does not open says which device and why, in words the user can act on.
TEST_F(CommXTest, OpenFailuresNameTheDeviceAndTheReason) {
    Pty held;
    TCommX holder;
    holder.SetDevice(held.SlavePath());
    holder.Open();
    std::filesystem::create_symlink("/nonexistent/ttyX", "COM3");
    std::ofstream("COM4") << "not a device";
    struct Case {
        const char* what;
        int portNo;
        std::string device; // chosen in place of the port number's; "" for none
        int err;
        std::string detail;
    };
    const Case cases[] = {
        {"dangling link", 3, "", ENOENT, "COM3 → /nonexistent/ttyX: no such device"},
        {"regular file", 4, "", ENOTTY, "COM4: not a serial device"},
        {"missing device", 1, "/dev/none-such", ENOENT, "/dev/none-such: no such device"},
        {"held by another", 1, held.SlavePath(), EBUSY,
         "busy: another program has " + held.SlavePath() + " open"},
    };
    for (const Case& c : cases) {
        TCommX port;
        port.SetPortNo(c.portNo);
        port.SetDevice(c.device);
        try {
            port.Open();
            ADD_FAILURE() << c.what << ": opened";
        } catch (const ECommError& e) {
            EXPECT_STREQ(e.what(), "ポートをオープンできませんでした") << c.what;
            EXPECT_EQ(e.Errno, c.err) << c.what;
            EXPECT_EQ(CommErrorDetail(e.Device, e.Errno), c.detail) << c.what;
        }
    }
}

// A user without access to the device is told what would give it: joining the device's own
// group where that group may read and write it, else who may open it.
TEST_F(CommXTest, NoAccessToTheDeviceNamesTheDevicesOwnGroup) {
    const std::string slave = pty.SlavePath();
    struct stat st {};
    ASSERT_EQ(::stat(slave.c_str(), &st), 0);
    const group* g = ::getgrgid(st.st_gid);
    const passwd* u = ::getpwuid(st.st_uid);
    ASSERT_TRUE(g != nullptr && u != nullptr);
    const std::string grp = g->gr_name;
    const std::string owner = u->pw_name;
    struct Case {
        mode_t mode;
        std::string reason;
    };
    std::vector<Case> cases = {
        {0, "its group " + grp + " may not open it (owner " + owner + ", mode 0000)"}};
    if (::geteuid() == 0) {
        // Root's device, opened as nobody, who is in none of its groups.
        cases.push_back({0660, "add your user to the " + grp + " group (sudo usermod -aG " + grp +
                                   " $USER) and log in again"});
        cases.push_back(
            {0600, "its group " + grp + " may not open it (owner " + owner + ", mode 0600)"});
    }
    for (const Case& c : cases) {
        ASSERT_EQ(::chmod(slave.c_str(), c.mode), 0);
        const std::string want = slave + ": permission denied: " + c.reason;
        const int failed = AsOrdinaryUser({}, [&] {
            TCommX port;
            port.SetDevice(slave);
            try {
                port.Open();
                return 3;
            } catch (const ECommError& e) {
                return e.Errno == EACCES && CommErrorDetail(e.Device, e.Errno) == want ? 0 : 4;
            }
        });
        EXPECT_EQ(failed, 0) << want;
    }
}

} // namespace
} // namespace myrl
