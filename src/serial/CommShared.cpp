#include "CommShared.h"

#include <chrono>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <utility>

namespace myrl {

void TCommShared::AddBlock(int32_t bytes) {
    std::lock_guard lock(counterLock_);
    pendingBytes_ += bytes;
    ++queuedBlocks_;
}

void TCommShared::FinishBlock(int32_t bytes) {
    std::lock_guard lock(counterLock_);
    pendingBytes_ -= bytes;
    if (pendingBytes_ <= 0) {
        pendingBytes_ = 0;
    }
    if (queuedBlocks_ > 0) {
        --queuedBlocks_;
    }
}

void TCommShared::ResetCounts() {
    {
        std::lock_guard lock(counterLock_);
        pendingBytes_ = 0;
        queuedBlocks_ = 0;
    }
    heldSince_ = 0;
    writtenSincePurge_ = false;
}

namespace {

int64_t steadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void TCommShared::OutputRefused() {
    int64_t unset = 0;
    heldSince_.compare_exchange_strong(unset, steadyNow());
}

void TCommShared::OutputAccepted() {
    writtenSincePurge_ = true;
}

void TCommShared::OutputPurged(int leftInDriver) {
    if (leftInDriver > 0) {
        OutputRefused(); // written a step ago and still not on the line
    } else if (writtenSincePurge_) {
        heldSince_ = 0;
    }
    writtenSincePurge_ = false;
}

int32_t TCommShared::PendingBytes() const {
    std::lock_guard lock(counterLock_);
    return pendingBytes_;
}

int32_t TCommShared::QueuedBlocks() const {
    std::lock_guard lock(counterLock_);
    return queuedBlocks_;
}

void TCommShared::SetCounterSource(TCommCounterSource source) {
    std::lock_guard lock(errLock_);
    counterSource_ = std::move(source);
}

int32_t TCommShared::ClearLineErrors(int fd, uint32_t* breaks) {
    std::lock_guard lock(errLock_);
    TCommLineCounters now;
    if (counterSource_) {
        if (!counterSource_(fd, now)) {
            return 0;
        }
    } else {
        serial_icounter_struct ic{};
        if (::ioctl(fd, TIOCGICOUNT, &ic) != 0) {
            return 0; // the driver keeps no counters (pseudo-terminals)
        }
        now.Overrun = static_cast<uint32_t>(ic.overrun + ic.buf_overrun);
        now.Parity = static_cast<uint32_t>(ic.parity);
        now.Frame = static_cast<uint32_t>(ic.frame);
        now.Break = static_cast<uint32_t>(ic.brk);
    }
    const auto delta = [](uint32_t value, uint32_t& last) {
        const uint32_t d = value - last;
        last = value;
        return d;
    };
    int32_t bits = 0;
    if (delta(now.Overrun, errLast_.Overrun)) {
        bits |= 0x02;
    }
    if (delta(now.Parity, errLast_.Parity)) {
        bits |= 0x04;
    }
    if (delta(now.Frame, errLast_.Frame)) {
        bits |= 0x08;
    }
    const uint32_t brk = delta(now.Break, errLast_.Break);
    if (breaks) {
        *breaks = brk;
    }
    return bits;
}

void CommModemLine(int fd, int bits, bool raise) {
    [[maybe_unused]] int r = ::ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &bits);
}

} // namespace myrl
