// The serial component's two worker threads and the record of one notification on its way
// to the UI thread. Internal to the serial library.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace myrl {

class TCommShared;

// One notification handed to the UI thread. Shared by the waiting worker and the posted
// task, so either may outlive the other.
struct TCommDelivery {
    enum class State { Pending, Running, Done, Cancelled };
    int Msg = 0;
    int32_t LParam = 0;
    std::mutex Lock;
    std::condition_variable Changed;
    State Now = State::Pending;
    bool Released = false; // the component let the waiting worker go while the task ran
};

// An eventfd used to wake a thread out of poll/epoll; owned, closed on destruction.
class TCommWakeFd {
public:
    TCommWakeFd(); // throws std::system_error
    ~TCommWakeFd();
    TCommWakeFd(const TCommWakeFd&) = delete;
    TCommWakeFd& operator=(const TCommWakeFd&) = delete;
    int Fd() const { return fd_; }
    void Signal() const;
    void Drain() const;

private:
    int fd_ = -1;
};

// Sends the blocks that Write queues, in FIFO order, and finishes each in the shared counts.
// Created and started by Open, stopped and joined by Close; its fields are set from the UI
// thread. Reaches the component only through `shared`.
class TCommTransThread {
public:
    TCommTransThread(TCommShared& shared, int fd); // throws std::system_error
    ~TCommTransThread();                           // stops and joins
    void Start();                                  // throws std::system_error
    void Post(std::vector<uint8_t> block);         // UI thread
    void Terminate();                              // UI thread: stop request and wake-up
    void Wake() const { wake_.Signal(); }          // ends a wait for the line

    std::atomic<bool> Abort{false};   // PurgeTrans: drop blocks, stop the current one
    std::atomic<int32_t> CharTime{0}; // ms, one character at the current bit rate
    std::atomic<bool> Terminated{false};

private:
    void Run();
    void Send(const uint8_t* data, size_t len);
    void HalfDuplexStep(bool beforeBurst);
    void WaitSent();
    bool Stopping() const { return Abort.load() || Terminated.load(); }

    TCommShared& shared_;
    int fd_;
    TCommWakeFd wake_;
    std::mutex queueLock_;
    std::condition_variable queued_;
    std::deque<std::vector<uint8_t>> queue_;
    std::thread thread_;
};

// Waits for received characters, breaks and line errors without spinning (edge-triggered
// epoll on the device plus a wake-up eventfd) and delivers them through `shared`, in the order
// errors, break, characters received.
class TCommReceiveThread {
public:
    TCommReceiveThread(TCommShared& shared, int fd); // throws std::system_error
    ~TCommReceiveThread();                           // stops and joins
    void Start();                                    // throws std::system_error
    void Terminate();                                // UI thread
    void Wake();                                     // re-reads the dispatcher; any thread

    std::atomic<bool> Terminated{false};

private:
    void Run();

    TCommShared& shared_;
    int fd_;
    int epoll_ = -1;
    TCommWakeFd wake_;
    std::thread thread_;
};

} // namespace myrl
