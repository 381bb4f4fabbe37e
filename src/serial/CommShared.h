// What the serial component and its two worker threads share, in one place: the way to hand
// a notification to the UI thread, the lock around the device's output, the counts of what
// waits to be sent, the settings the transmit thread reads while it runs, and the line-error
// snapshot. The workers reach the component through nothing else. Every member may be used
// on any thread. The component owns it and outlives both workers (it joins them before it
// goes). Internal to the serial library.
#pragma once

#include "CommX.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>

namespace myrl {

enum class TCommSlot : int { Trans = 0, Receive = 1 };

class TCommShared {
public:
    // The notifications, and the component's side of them, set once when the component is
    // made (plain functions, not virtual calls: a worker may still use them while the
    // component's destructor runs, before it has joined the workers).
    static constexpr int WM_COMMDATA = 0x0500;
    static constexpr int WM_COMMBREAK = 0x0501;
    static constexpr int WM_COMMERROR = 0x0502;
    using DeliverFn = std::function<void(TCommSlot slot, int Msg, int32_t LParam,
                                         const std::function<bool()>& abandoned)>;
    // Hands the notification to the UI thread and waits until it has run or the component
    // lets the worker go; `abandoned` says the wait is no longer wanted. Worker threads.
    const DeliverFn Deliver;
    // True while a dispatcher is set.
    const std::function<bool()> HasDispatcher;

    TCommShared(DeliverFn deliver, std::function<bool()> hasDispatcher)
        : Deliver(std::move(deliver)), HasDispatcher(std::move(hasDispatcher)) {}

    // Held around each write() on the device and each flush of its output queue, so a purge
    // never lands inside a write.
    std::mutex TransLock;

    // The counts behind PendingBytes and QueuedBlocks: Write adds each block it posts, the
    // transmit thread finishes each block it sent or dropped, Open starts both at zero.
    void AddBlock(int32_t bytes);
    void FinishBlock(int32_t bytes);
    void ResetCounts();
    int32_t PendingBytes() const; // accepted by Write, not yet sent or dropped
    int32_t QueuedBlocks() const; // posted to the transmit thread, not yet finished

    // Whether the line holds our output (an XOFF without XON, CTS low): set when the device
    // refuses bytes (a pseudo-terminal) or when bytes written before a purge had not left the
    // driver by then (a UART); cleared by a purge once bytes written since the last one have
    // left. Any thread; ResetCounts clears it.
    void OutputRefused();                // transmit thread: write() took nothing (EAGAIN)
    void OutputAccepted();               // transmit thread: write() took bytes
    void OutputPurged(int leftInDriver); // before the output queue is flushed
    // Steady-clock time since when output is held (nanoseconds); 0 while it flows.
    int64_t OutputHeldSince() const { return heldSince_.load(); }

    // The transmit thread's copies of the write time-out (ms, 0 none) and the flow-control
    // mode; the UI thread stores them as the settings change.
    std::atomic<uint32_t> WriteTimeoutMs{0};
    std::atomic<TCommFlowCtrls> FlowCtrl{cfcRtsCts};

    // Where the line-event counters come from (empty: the driver's TIOCGICOUNT).
    void SetCounterSource(TCommCounterSource source);
    // Line errors of the device `fd` since the last call (bits 0x02 overrun, 0x04 parity,
    // 0x08 frame), and, with `breaks`, the number of breaks since the last call. Reading the
    // counters and taking their differences happen under one lock, so two threads never
    // count one event twice or lose one by storing an older reading over a newer one.
    int32_t ClearLineErrors(int fd, uint32_t* breaks = nullptr);

private:
    std::atomic<int64_t> heldSince_{0};
    std::atomic<bool> writtenSincePurge_{false};

    mutable std::mutex counterLock_; // guards the two counts
    int32_t pendingBytes_ = 0;
    int32_t queuedBlocks_ = 0;

    std::mutex errLock_; // guards the counter source and the last counters seen
    TCommCounterSource counterSource_;
    TCommLineCounters errLast_;
};

// Raises (true) or lowers (false) modem lines of the device `fd`. Pseudo-terminals have no
// modem lines and a hung-up line refuses: neither matters to the callers.
void CommModemLine(int fd, int bits, bool raise);

} // namespace myrl
