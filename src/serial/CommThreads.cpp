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

TCommWakeFd::TCommWakeFd() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) {
        ThrowErrno("eventfd");
    }
}

TCommWakeFd::~TCommWakeFd() {
    ::close(fd_);
}

void TCommWakeFd::Signal() const {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void TCommWakeFd::Drain() const {
    uint64_t value = 0;
    [[maybe_unused]] ssize_t n = ::read(fd_, &value, sizeof value);
}

// ---------------------------------------------------------------------------------------
// Transmit thread

TCommTransThread::TCommTransThread(TCommShared& shared, int fd) : shared_(shared), fd_(fd) {}

TCommTransThread::~TCommTransThread() {
    Terminate();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TCommTransThread::Start() {
    thread_ = std::thread([this] { Run(); });
}

void TCommTransThread::Post(std::vector<uint8_t> block) {
    {
        std::lock_guard lock(queueLock_);
        queue_.push_back(std::move(block));
    }
    queued_.notify_one();
}

void TCommTransThread::Terminate() {
    {
        std::lock_guard lock(queueLock_);
        Terminated = true;
    }
    queued_.notify_one();
    wake_.Signal();
}

void TCommTransThread::Run() {
    for (;;) {
        bool burst = false; // the pre-send step of this burst has run
        {
            std::unique_lock lock(queueLock_);
            queued_.wait(lock, [this] { return !queue_.empty() || Terminated.load(); });
        }
        // One burst: every block taken before the queue runs empty.
        for (;;) {
            std::vector<uint8_t> block;
            {
                std::lock_guard lock(queueLock_);
                if (queue_.empty()) {
                    break;
                }
                block = std::move(queue_.front());
                queue_.pop_front();
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
            shared_.FinishBlock(len);
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
    const uint32_t limitMs = shared_.WriteTimeoutMs.load();
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (len > 0 && !Stopping()) {
        ssize_t n;
        {
            std::lock_guard lock(shared_.TransLock);
            n = ::write(fd_, data, len);
        }
        if (n > 0) {
            shared_.OutputAccepted();
        }
        if (n >= 0) {
            data += n;
            len -= static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN) {
            shared_.OutputRefused();
        } else {
            // Line gone or another failure: report line errors and give the block up.
            if (const int32_t bits = shared_.ClearLineErrors(fd_)) {
                shared_.Deliver(TCommSlot::Trans, TCommShared::WM_COMMERROR, bits,
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
        pollfd fds[2] = {{fd_, POLLOUT, 0}, {wake_.Fd(), POLLIN, 0}};
        const int r = ::poll(fds, 2, timeoutMs);
        if (r < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents & POLLIN) {
            wake_.Drain();
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[0].revents & POLLOUT)) {
            return; // the line has hung up; nothing more can be sent
        }
    }
}

// Half-duplex RTS control around a burst; nothing in the other flow-control modes.
void TCommTransThread::HalfDuplexStep(bool beforeBurst) {
    const TCommFlowCtrls mode = shared_.FlowCtrl.load();
    if (mode != cfcHalfHigh && mode != cfcHalfLow) {
        return;
    }
    const bool sendLevel = mode == cfcHalfHigh; // RTS level while sending
    if (beforeBurst) {
        SleepMs(50);
        CommModemLine(fd_, TIOCM_RTS, sendLevel);
        SleepMs(CharTime.load());
    } else {
        WaitSent();
        SleepMs(CharTime.load());
        CommModemLine(fd_, TIOCM_RTS, !sendLevel);
    }
}

// Returns once the bytes written have left the line: the driver's output queue is empty and,
// where the driver tells (UARTs), so is the transmitter. Unlike tcdrain it wakes for a purge
// or a stop request (the bytes are discarded then), so it never holds up PurgeTrans or Close.
void TCommTransThread::WaitSent() {
    while (!Stopping()) {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
            return; // line gone
        }
        unsigned int lsr = 0;
        const bool shifting =
            queued == 0 && ::ioctl(fd_, TIOCSERGETLSR, &lsr) == 0 && (lsr & TIOCSER_TEMT) == 0;
        if (queued <= 0 && !shifting) {
            return;
        }
        pollfd p{wake_.Fd(), POLLIN, 0};
        if (::poll(&p, 1, std::max(1, CharTime.load())) > 0) {
            wake_.Drain();
        }
    }
}

// ---------------------------------------------------------------------------------------
// Receive thread

TCommReceiveThread::TCommReceiveThread(TCommShared& shared, int fd) : shared_(shared), fd_(fd) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epoll_ < 0) {
        ThrowErrno("epoll_create1");
    }
    // Edge-triggered on the device: one wake-up per arrival of characters, not one per pass
    // while they wait unread (the UI thread reads them when it likes).
    epoll_event dev{};
    dev.events = EPOLLIN | EPOLLET;
    dev.data.fd = fd_;
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = wake_.Fd();
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd_, &dev) < 0 ||
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_.Fd(), &wake) < 0) {
        const int err = errno;
        ::close(epoll_);
        throw std::system_error(err, std::generic_category(), "epoll_ctl");
    }
}

TCommReceiveThread::~TCommReceiveThread() {
    Terminate();
    if (thread_.joinable()) {
        thread_.join();
    }
    ::close(epoll_);
}

void TCommReceiveThread::Start() {
    thread_ = std::thread([this] { Run(); });
}

void TCommReceiveThread::Wake() {
    wake_.Signal();
}

void TCommReceiveThread::Terminate() {
    Terminated = true;
    wake_.Signal();
}

void TCommReceiveThread::Run() {
    const auto stop = [this] { return Terminated.load(); };
    bool watchingLine = true;
    bool watchingData = true;
    while (!Terminated.load()) {
        // Without a dispatcher every notification is dropped, so arrivals of characters are
        // not worth a wake-up each; hang-ups and errors are still reported by epoll.
        const bool wanted = shared_.HasDispatcher();
        if (watchingLine && wanted != watchingData) {
            epoll_event dev{};
            dev.events = (wanted ? EPOLLIN : 0u) | EPOLLET;
            dev.data.fd = fd_;
            ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd_, &dev);
            watchingData = wanted;
        }
        epoll_event events[2];
        const int n = ::epoll_wait(epoll_, events, 2, -1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break; // cannot wait any more; Close still joins
        }
        uint32_t line = 0;
        for (int i = 0; i < n; ++i) {
            if (events[i].data.fd == fd_) {
                line = events[i].events;
            } else {
                wake_.Drain();
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
            ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd_, nullptr);
            watchingLine = false;
        }
        uint32_t breaks = 0;
        if (const int32_t bits = shared_.ClearLineErrors(fd_, &breaks)) {
            shared_.Deliver(TCommSlot::Receive, TCommShared::WM_COMMERROR, bits, stop);
        }
        if (breaks > 0) {
            shared_.Deliver(TCommSlot::Receive, TCommShared::WM_COMMBREAK, 0x40, stop);
        }
        if ((line & EPOLLIN) && !hungUp) {
            shared_.Deliver(TCommSlot::Receive, TCommShared::WM_COMMDATA, 0, stop);
        }
    }
}

} // namespace myrl
