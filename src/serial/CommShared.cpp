#include "CommShared.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <utility>

namespace myrl {

void TCommShared::AddBlock(int32_t bytes) {
    std::lock_guard lock(FCounterLock);
    FPendingBytes += bytes;
    ++FQueuedBlocks;
}

void TCommShared::FinishBlock(int32_t bytes) {
    std::lock_guard lock(FCounterLock);
    FPendingBytes -= bytes;
    if (FPendingBytes <= 0) {
        FPendingBytes = 0;
    }
    if (FQueuedBlocks > 0) {
        --FQueuedBlocks;
    }
}

void TCommShared::ResetCounts() {
    std::lock_guard lock(FCounterLock);
    FPendingBytes = 0;
    FQueuedBlocks = 0;
}

int32_t TCommShared::PendingBytes() const {
    std::lock_guard lock(FCounterLock);
    return FPendingBytes;
}

int32_t TCommShared::QueuedBlocks() const {
    std::lock_guard lock(FCounterLock);
    return FQueuedBlocks;
}

void TCommShared::SetCounterSource(TCommCounterSource source) {
    std::lock_guard lock(FErrLock);
    FCounterSource = std::move(source);
}

int32_t TCommShared::ClearLineErrors(int fd, uint32_t* breaks) {
    std::lock_guard lock(FErrLock);
    TCommLineCounters now;
    if (FCounterSource) {
        if (!FCounterSource(fd, now)) {
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
    if (delta(now.Overrun, FErrLast.Overrun)) {
        bits |= 0x02;
    }
    if (delta(now.Parity, FErrLast.Parity)) {
        bits |= 0x04;
    }
    if (delta(now.Frame, FErrLast.Frame)) {
        bits |= 0x08;
    }
    const uint32_t brk = delta(now.Break, FErrLast.Break);
    if (breaks) {
        *breaks = brk;
    }
    return bits;
}

void CommModemLine(int fd, int bits, bool raise) {
    [[maybe_unused]] int r = ::ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &bits);
}

} // namespace myrl
