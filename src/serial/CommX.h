// Serial-port component over POSIX termios, with a transmit and a receive worker thread.
// Qt-free: it reaches the user-interface (UI) thread only through the two hooks below.
//
// Threading contract:
// - Every member function, every property setter and the destructor run on the UI thread.
// - The worker threads deliver OnReceive / OnBreak / OnError by handing a task to the UI
//   thread through the dispatcher hook and waiting for it to run (a synchronous send). The
//   wait is abandoned when the component stops the worker (Close, destructor) or, for the
//   transmit thread, while PurgeTrans runs; the notification is then dropped and the task does
//   nothing if it runs later. So Close and PurgeTrans never wait on a UI thread that is busy
//   in them, and no task ever touches a closed or destroyed component.
// - Read (while nothing has arrived) and Write (while 32 blocks wait) call the
//   pending-events hook, so UI handlers may run inside them, including Close or even the
//   destruction of this component: Read then returns -1 and Write false, without touching
//   the component again. Without a hook, Write's wait still runs this component's own
//   notifications that its workers wait on (the transmit thread cannot finish a block while
//   its notification waits), so the events may run inside Write all the same.
// - Do not destroy the component from inside one of its own events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <termios.h>

namespace myrl {

// Failure to open or configure the port; the message is the system's fixed text (UTF-8).
// Where the failure concerns a device, Device names it (as it was asked for: a COMn link
// or a path) and Errno says why (0: not known).
class ECommError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    ECommError(const std::string& text, std::string device, int err)
        : std::runtime_error(text), Device(std::move(device)), Errno(err) {}
    std::string Device;
    int Errno = 0;
};

// An English sentence for the user: the device (with what a link points to) and what to
// do about `err`, such as "/dev/ttyUSB0: permission denied: add your user to the dialout
// group (...)" (the device's own group) or "busy: another program has /dev/ttyUSB0 open".
// Empty without a device.
std::string CommErrorDetail(const std::string& device, int err);
// The reason alone, without the device: "permission denied: ...", "no such device", ...
std::string CommErrorReason(const std::string& device, int err);
// Who may open a device (links followed): the names of its owner and group (their numbers
// where the system has no name) and its permission bits; nullopt when it cannot be examined.
struct DeviceOwnership {
    std::string Owner;
    std::string Group;
    unsigned Mode = 0;
};
std::optional<DeviceOwnership> OwnershipOf(const std::string& path);
// What a user refused by a device of `owners` can do: join its group where the group may
// read and write it, else who may ("its group tty may not open it (owner root, mode 0620)").
// "permission denied: ..." either way.
std::string PermissionHint(const std::optional<DeviceOwnership>& owners);
// `path` as the user should read it: a symbolic link with what it points to
// ("COM1 → /dev/ttyUSB0"), anything else as it stands.
std::string DeviceWithTarget(const std::string& path);

enum TCommParityBits : uint8_t { cpbNone = 0, cpbOdd = 1, cpbEven = 2 };
enum TCommStopBits : uint8_t { csb1 = 0, csb1p5 = 1, csb2 = 2 };
enum TCommFlowCtrls : uint8_t {
    cfcRtsCts = 0,
    cfcDtrDsr = 1,
    cfcXonXoff = 2,
    cfcHalfHigh = 3,
    cfcHalfLow = 4,
    cfcNone = 5
};

class TCustomCommX;

// Events; called on the UI thread. "Assigned" means the std::function is non-empty.
using TCommReceiveEvent = std::function<void(TCustomCommX& Sender, int32_t ReceiveSize)>;
using TCommBreakEvent = std::function<void(TCustomCommX& Sender)>;
using TCommErrEvent = std::function<void(TCustomCommX& Sender, int32_t ErrorState)>;

// Dispatcher hook: hand `task` to the UI thread's event loop and return at once. Called on
// the worker threads. The program queues it on its event loop (a queued invocation); a test
// queues it for the loop of its own "UI" thread. The component itself waits until the task
// has run. Running the task inline on the calling worker is only sound when the UI thread does
// not use the component meanwhile and no event handler calls Close. Without a dispatcher the
// three notifications are dropped.
using TCommDispatcher = std::function<void(std::function<void()> task)>;

// Pending-events hook: handle the UI thread's pending events and return (the program's
// QCoreApplication::processEvents()). Without one, Read and Write simply wait.
using TCommProcessEvents = std::function<void()>;

// Waiting hook: wait until descriptor `fd` has something to read, an event of the UI thread
// comes or `timeoutMs` pass, handling the UI thread's events meanwhile, then return (the
// program's event loop, woken by the line as by its own events). Read waits with it, when
// set, instead of polling the line in 1 ms steps with the pending-events hook between them.
using TCommWaitEvents = std::function<void(int fd, int timeoutMs)>;

// The five time-out fields, in milliseconds. Read: what has arrived returns at once,
// otherwise up to ReadTotalTimeoutConstant for the first byte. Write: a block that cannot go
// out within WriteTotalTimeoutConstant (0: no limit) is given up.
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// Line settings kept for the component's whole life. Open fills Tio from the driver, makes it
// raw (no echo, no translation, VMIN 1, VTIME 0, CLOCAL|CREAD); each setter changes its own
// fields and applies the whole record with tcsetattr. Flags is the flow-control flag word
// (bit 0 binary, 1 parity, 2 CTS out, 3 DSR out, 4-5 DTR control, 8 XON out, 9 XON in,
// 12-13 RTS control), mapped to termios as: XON out -> IXON, XON in -> IXOFF (with VSTART /
// VSTOP), CTS out or RTS handshake -> CRTSCTS. DSR out / DTR handshake have no termios
// equivalent: the port then runs without hardware flow control and holds DTR raised.
// XonLim and XoffLim are kept here only; the driver's thresholds are fixed.
struct TCommLineSettings {
    termios Tio{};
    uint32_t Flags = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
};

// Line-event counters of a device, as the driver keeps them (TIOCGICOUNT): running totals.
struct TCommLineCounters {
    uint32_t Overrun = 0; // hardware and buffer overruns
    uint32_t Parity = 0;
    uint32_t Frame = 0;
    uint32_t Break = 0;
};

// Source of the counters of the open device `fd`; false when there are none. Called on any
// thread, one call at a time. Default: TIOCGICOUNT, which pseudo-terminals lack (no line
// errors or breaks can occur there).
using TCommCounterSource = std::function<bool(int fd, TCommLineCounters& counters)>;

// Handle value while closed.
inline constexpr uint32_t kCommInvalidHandle = 0xFFFFFFFFu;

class TCommTransThread;
class TCommReceiveThread;
class TCommShared;
struct TCommDelivery;

// Which worker a notification comes from (CommShared.h).
enum class TCommSlot : int;

class TCustomCommX {
public:
    TCustomCommX();
    virtual ~TCustomCommX();
    TCustomCommX(const TCustomCommX&) = delete;
    TCustomCommX& operator=(const TCustomCommX&) = delete;

    // Opens COM<PortNo> in the current working directory if it exists, else
    // /dev/ttyS<PortNo-1>; only a terminal character device, exclusively (flock, then
    // TIOCEXCL). Applies every setting, starts both worker threads, pauses 100 ms.
    // Throws ECommError; a failure after the device opened closes the component first.
    void Open();
    // Lowers DTR and RTS, discards unsent and unread bytes, stops and joins both workers,
    // ends the exclusive mode (TIOCNXCL: a terminal whose other end stays open keeps it, and
    // would refuse the next open to anyone but root) and closes the device; pauses 100 ms
    // before and 200 ms after stopping the workers. Nothing if closed.
    void Close();

    // Queues Count bytes in blocks of at most BufLenTrans for the transmit thread and returns
    // without waiting for the line; waits (running pending events, 1 ms steps) only while 32
    // blocks are queued. True when every block was handed on (at once for Count <= 0); false
    // when closed (also when closed meanwhile), without a transmit thread or without Buffer.
    virtual bool Write(const void* Buffer, int32_t Count);
    // Write of the string's bytes (no terminating zero); true at once when empty.
    bool WriteString(const std::string& S);
    // Reads at most Count received bytes. Bytes that have arrived return at once; otherwise
    // waits up to TimeOutReceive ms for the first byte, running pending events in 1 ms steps.
    // Returns the count read; 0 when nothing arrived in time (or Count <= 0); -1 when closed,
    // without a receive thread, without Buffer, on a read error (line errors go to OnError),
    // when the line has hung up, or when the component was closed or destroyed by a handler
    // that ran inside the wait.
    virtual int32_t Read(void* Buffer, int32_t Count);

    // Discards everything queued for sending and the driver's output queue; returns once the
    // transmit thread has finished or dropped every block (both counts 0). Nothing if closed.
    void PurgeTrans();
    // Discards the driver's input queue. Nothing if closed.
    void PurgeReceive();
    // Resumes output that an XOFF from the other end holds, as if XON had arrived (with
    // XON/XOFF flow control a stray XOFF from line noise would otherwise stop the port's
    // output until the other end happens to send XON). Nothing if closed or not held.
    void ResumeTrans();
    // Bytes waiting in the driver's input queue; 0 when closed. Clears the line-error state
    // without reporting it.
    int32_t ReceiveCount();
    // Raise (true) or lower (false) RTS / DTR. Nothing if closed; a port without modem lines
    // (a pseudo-terminal) ignores it.
    void SetRts(bool Value);
    void SetDtr(bool Value);

    // Properties. Getters return the stored value. Setters store; while open they apply at
    // once and throw ECommError on failure (the new value stays stored, the port stays open).
    int32_t PortNo() const { return portNo_; }
    void SetPortNo(int32_t Value); // open: Close, then Open on the new port
    int32_t BitRate() const { return bitRate_; }
    void SetBitRate(int32_t Value);
    int32_t CharSize() const { return charSize_; }
    void SetCharSize(int32_t Value);
    TCommParityBits ParityBit() const { return parityBit_; }
    void SetParityBit(TCommParityBits Value);
    TCommStopBits StopBit() const { return stopBit_; }
    void SetStopBit(TCommStopBits Value); // csb1p5 programs CSTOPB (1.5 stop bits at 5 data bits)
    TCommFlowCtrls FlowCtrl() const { return flowCtrl_; }
    void SetFlowCtrl(TCommFlowCtrls Value);
    int32_t TimeOutTrans() const { return timeOutTrans_; }
    void SetTimeOutTrans(int32_t Value);
    int32_t TimeOutReceive() const { return timeOutReceive_; }
    void SetTimeOutReceive(int32_t Value);
    uint8_t XonChar() const { return xonChar_; }
    void SetXonChar(uint8_t Value);
    uint8_t XoffChar() const { return xoffChar_; }
    void SetXoffChar(uint8_t Value);
    int32_t BufLenTrans() const { return bufLenTrans_; }
    void SetBufLenTrans(int32_t Value);
    int32_t BufLenReceive() const { return bufLenReceive_; }
    void SetBufLenReceive(int32_t Value);
    // The device's file descriptor, kCommInvalidHandle while closed.
    uint32_t Handle() const;

    TCommReceiveEvent OnReceive;
    TCommBreakEvent OnBreak;
    TCommErrEvent OnError;

    // UI-thread hooks; set them before Open (they may be replaced at any time on the UI thread).
    void SetDispatcher(TCommDispatcher Dispatcher);
    void SetProcessEvents(TCommProcessEvents ProcessEvents);
    void SetWaitEvents(TCommWaitEvents WaitEvents);
    // Where the line-event counters come from; empty: the driver's. Set it while closed.
    void SetCounterSource(TCommCounterSource Source);
    // True while a dispatcher is set (any thread).
    bool HasDispatcher();

    // Inspection, UI thread.
    bool Active() const { return fd_ >= 0; }
    const TCommLineSettings& LineSettings() const { return dcb_; }
    const TCommTimeouts& Timeouts() const { return timeouts_; }
    int32_t PendingBytes() const;    // accepted by Write, not yet sent or dropped
    int32_t QueuedBlocks() const;    // posted to the transmit thread, not yet finished
    int32_t TransCharTimeMs() const; // character time of the running transmit thread, else 0
    // True when the line has held this component's output for a second or more: the device
    // refuses bytes, or bytes written before a purge were still in the driver at it (an XOFF
    // without XON, CTS held low). False again once bytes written have left.
    bool OutputHeld() const;
    // The device Open would open now: the chosen device when there is one, else
    // COM<PortNo> in the working folder when that name exists, else /dev/ttyS<PortNo - 1>.
    std::string DevicePath() const;
    // A device to open in place of the one PortNo names (a path, or a COMn link of the
    // working folder); PortNo keeps its value. Empty: PortNo's device again. Takes effect
    // at the next Open.
    void SetDevice(std::string Path) { device_ = std::move(Path); }
    const std::string& Device() const { return device_; }
    // The device the last successful Open opened (kept after Close); empty before any.
    const std::string& OpenedPath() const { return openedPath_; }

private:
    void ApplyDcb(const char* errorText);
    void ApplyBitRate(bool opening);
    void ApplyCharSize();
    void ApplyParity();
    void ApplyStopBit();
    void ApplyFlowCtrl();
    void ApplyTimeouts();
    void ApplyXonChar();
    void ApplyXoffChar();
    void SetupBuffers() const;
    void StartThreads();
    void StopThreads();

    // Worker side of a notification: hand it to the UI thread and wait until it has run or
    // the component lets the worker go. `abandoned` says the wait is no longer wanted.
    // The workers reach it through shared_.
    void Deliver(TCommSlot slot, int Msg, int32_t LParam, const std::function<bool()>& abandoned);
    // UI side: drop or let go the delivery the worker of `slot` waits on.
    void CancelDelivery(TCommSlot slot);
    // UI side: run the notifications the workers wait on now, in place of the dispatcher.
    // False when a handler destroyed the component (then nothing of it may be touched).
    bool RunWaitingDeliveries();
    // The notification handler, UI thread.
    void HandleNotify(int Msg, int32_t LParam);

    struct LifeFlag {
        bool Alive = true;
    };
    std::string openedPath_;
    std::string device_;
    std::shared_ptr<LifeFlag> life_ = std::make_shared<LifeFlag>();

    // Shared with the two workers, which never outlive the component.
    std::unique_ptr<TCommShared> shared_;
    std::unique_ptr<TCommTransThread> trans_;
    std::unique_ptr<TCommReceiveThread> receive_;

    int fd_ = -1;
    uint64_t session_ = 0; // bumped by every Close, so a waiting Read sees a reopen

    int32_t portNo_ = 1;
    int32_t bitRate_ = 9600;
    int32_t charSize_ = 8;
    TCommParityBits parityBit_ = cpbNone;
    TCommStopBits stopBit_ = csb1;
    TCommFlowCtrls flowCtrl_ = cfcRtsCts;
    int32_t timeOutTrans_ = 3000;
    int32_t timeOutReceive_ = 3000;
    uint8_t xonChar_ = 0x11;
    uint8_t xoffChar_ = 0x13;
    int32_t bufLenTrans_ = 2048;
    int32_t bufLenReceive_ = 2048;

    TCommLineSettings dcb_;
    std::optional<termios> foundTio_; // the line's settings as Open found them
    TCommTimeouts timeouts_;

    std::mutex deliverLock_; // guards the dispatcher and the two delivery slots
    TCommDispatcher dispatcher_;
    std::shared_ptr<TCommDelivery> delivery_[2];
    TCommProcessEvents processEvents_;
    TCommWaitEvents waitEvents_;
};

// The component as the program uses it: every property published, no behaviour added.
class TCommX : public TCustomCommX {
public:
    using TCustomCommX::TCustomCommX;
};

} // namespace myrl
