#include "CommThreads.h"

#include "CommShared.h"
#include "CommX.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

namespace myrl {

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void SleepMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

} // namespace

TCommWakeFd::TCommWakeFd() : FFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (FFd < 0) {
        ThrowErrno("eventfd");
    }
}

TCommWakeFd::~TCommWakeFd() {
    ::close(FFd);
}

void TCommWakeFd::Signal() const {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(FFd, &one, sizeof one);
}

void TCommWakeFd::Drain() const {
    uint64_t value = 0;
    [[maybe_unused]] ssize_t n = ::read(FFd, &value, sizeof value);
}

// ---------------------------------------------------------------------------------------
// Transmit thread

TCommTransThread::TCommTransThread(TCommShared& shared, int fd) : FShared(shared), FFd(fd) {}

TCommTransThread::~TCommTransThread() {
    Terminate();
    if (FThread.joinable()) {
        FThread.join();
    }
}

void TCommTransThread::Start() {
    FThread = std::thread([this] { Run(); });
}

void TCommTransThread::Post(std::vector<uint8_t> block) {
    {
        std::lock_guard lock(FQueueLock);
        FQueue.push_back(std::move(block));
    }
    FQueued.notify_one();
}

void TCommTransThread::Terminate() {
    {
        std::lock_guard lock(FQueueLock);
        Terminated = true;
    }
    FQueued.notify_one();
    FWake.Signal();
}

void TCommTransThread::Run() {
    for (;;) {
        bool burst = false; // the pre-send step of this burst has run
        {
            std::unique_lock lock(FQueueLock);
            FQueued.wait(lock, [this] { return !FQueue.empty() || Terminated.load(); });
        }
        // One burst: every block taken before the queue runs empty.
        for (;;) {
            std::vector<uint8_t> block;
            {
                std::lock_guard lock(FQueueLock);
                if (FQueue.empty()) {
                    break;
                }
                block = std::move(FQueue.front());
                FQueue.pop_front();
            }
            if (!Stopping()) {
                if (!burst) {
                    burst = true;
                    HalfDuplexStep(true);
                }
                Send(block.data(), block.size());
            }
            const auto len = static_cast<int32_t>(block.size());
            block = {};
            FShared.FinishBlock(len);
        }
        if (burst) {
            HalfDuplexStep(false);
        }
        if (Terminated.load()) {
            break;
        }
    }
}

// Puts one block on the line. The device is non-blocking: when its output queue is full (or
// the line is held by XOFF / CTS) the thread waits in poll for room or for a wake-up from
// PurgeTrans / Close. A block that cannot go out within the write time-out is given up.
void TCommTransThread::Send(const uint8_t* data, size_t len) {
    using Clock = std::chrono::steady_clock;
    const uint32_t limitMs = FShared.WriteTimeoutMs.load();
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (len > 0 && !Stopping()) {
        ssize_t n;
        {
            std::lock_guard lock(FShared.TransLock);
            n = ::write(FFd, data, len);
        }
        if (n >= 0) {
            data += n;
            len -= static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN) {
            // Line gone or another failure: report line errors and give the block up.
            if (const int32_t bits = FShared.ClearLineErrors(FFd)) {
                FShared.Deliver(TCommSlot::Trans, TCommShared::WM_COMMERROR, bits,
                                [this] { return Stopping(); });
            }
            return;
        }
        int timeoutMs = -1;
        if (limitMs > 0) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                return; // time-out: the rest of the block is dropped
            }
            timeoutMs = static_cast<int>(left);
        }
        pollfd fds[2] = {{FFd, POLLOUT, 0}, {FWake.Fd(), POLLIN, 0}};
        const int r = ::poll(fds, 2, timeoutMs);
        if (r < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents & POLLIN) {
            FWake.Drain();
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[0].revents & POLLOUT)) {
            return; // the line has hung up; nothing more can be sent
        }
    }
}

// Half-duplex RTS control around a burst; nothing in the other flow-control modes.
void TCommTransThread::HalfDuplexStep(bool beforeBurst) {
    const TCommFlowCtrls mode = FShared.FlowCtrl.load();
    if (mode != cfcHalfHigh && mode != cfcHalfLow) {
        return;
    }
    const bool sendLevel = mode == cfcHalfHigh; // RTS level while sending
    if (beforeBurst) {
        SleepMs(50);
        CommModemLine(FFd, TIOCM_RTS, sendLevel);
        SleepMs(CharTime.load());
    } else {
        WaitSent();
        SleepMs(CharTime.load());
        CommModemLine(FFd, TIOCM_RTS, !sendLevel);
    }
}

// Returns once the bytes written have left the line: the driver's output queue is empty and,
// where the driver tells (UARTs), so is the transmitter. Unlike tcdrain it wakes for a purge
// or a stop request (the bytes are discarded then), so it never holds up PurgeTrans or Close.
void TCommTransThread::WaitSent() {
    while (!Stopping()) {
        int queued = 0;
        if (::ioctl(FFd, TIOCOUTQ, &queued) != 0) {
            return; // line gone
        }
        unsigned int lsr = 0;
        const bool shifting =
            queued == 0 && ::ioctl(FFd, TIOCSERGETLSR, &lsr) == 0 && (lsr & TIOCSER_TEMT) == 0;
        if (queued <= 0 && !shifting) {
            return;
        }
        pollfd p{FWake.Fd(), POLLIN, 0};
        if (::poll(&p, 1, std::max(1, CharTime.load())) > 0) {
            FWake.Drain();
        }
    }
}

// ---------------------------------------------------------------------------------------
// Receive thread

TCommReceiveThread::TCommReceiveThread(TCommShared& shared, int fd) : FShared(shared), FFd(fd) {
    FEpoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (FEpoll < 0) {
        ThrowErrno("epoll_create1");
    }
    // Edge-triggered on the device: one wake-up per arrival of characters, not one per pass
    // while they wait unread (the UI thread reads them when it likes).
    epoll_event dev{};
    dev.events = EPOLLIN | EPOLLET;
    dev.data.fd = FFd;
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = FWake.Fd();
    if (::epoll_ctl(FEpoll, EPOLL_CTL_ADD, FFd, &dev) < 0 ||
        ::epoll_ctl(FEpoll, EPOLL_CTL_ADD, FWake.Fd(), &wake) < 0) {
        const int err = errno;
        ::close(FEpoll);
        throw std::system_error(err, std::generic_category(), "epoll_ctl");
    }
}

TCommReceiveThread::~TCommReceiveThread() {
    Terminate();
    if (FThread.joinable()) {
        FThread.join();
    }
    ::close(FEpoll);
}

void TCommReceiveThread::Start() {
    FThread = std::thread([this] { Run(); });
}

void TCommReceiveThread::Wake() {
    FWake.Signal();
}

void TCommReceiveThread::Terminate() {
    Terminated = true;
    FWake.Signal();
}

void TCommReceiveThread::Run() {
    const auto stop = [this] { return Terminated.load(); };
    bool watchingLine = true;
    bool watchingData = true;
    while (!Terminated.load()) {
        // Without a dispatcher every notification is dropped, so arrivals of characters are
        // not worth a wake-up each; hang-ups and errors are still reported by epoll.
        const bool wanted = FShared.HasDispatcher();
        if (watchingLine && wanted != watchingData) {
            epoll_event dev{};
            dev.events = (wanted ? EPOLLIN : 0u) | EPOLLET;
            dev.data.fd = FFd;
            ::epoll_ctl(FEpoll, EPOLL_CTL_MOD, FFd, &dev);
            watchingData = wanted;
        }
        epoll_event events[2];
        const int n = ::epoll_wait(FEpoll, events, 2, -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break; // cannot wait any more; Close still joins
        }
        uint32_t line = 0;
        for (int i = 0; i < n; ++i) {
            if (events[i].data.fd == FFd) {
                line = events[i].events;
            } else {
                FWake.Drain();
            }
        }
        if (Terminated.load()) {
            break;
        }
        if (line == 0) {
            continue;
        }
        const bool hungUp = (line & (EPOLLHUP | EPOLLERR)) != 0;
        if (hungUp && watchingLine) {
            // The line is gone for good: stop watching it, wait only for the stop request.
            ::epoll_ctl(FEpoll, EPOLL_CTL_DEL, FFd, nullptr);
            watchingLine = false;
        }
        uint32_t breaks = 0;
        if (const int32_t bits = FShared.ClearLineErrors(FFd, &breaks)) {
            FShared.Deliver(TCommSlot::Receive, TCommShared::WM_COMMERROR, bits, stop);
        }
        if (breaks > 0) {
            FShared.Deliver(TCommSlot::Receive, TCommShared::WM_COMMBREAK, 0x40, stop);
        }
        if ((line & EPOLLIN) && !hungUp) {
            FShared.Deliver(TCommSlot::Receive, TCommShared::WM_COMMDATA, 0, stop);
        }
    }
}

} // namespace myrl
