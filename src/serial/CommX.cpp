#include "CommX.h"

#include "CommThreads.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <new>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace myrl {

namespace {

// The component's failure texts.
constexpr const char* kErrAlreadyOpen = "ポートは、すでにオープンされています";
constexpr const char* kErrOpenFailed = "ポートをオープンできませんでした";
constexpr const char* kErrTransThread = "送信用スレッドを生成できませんでした";
constexpr const char* kErrReceiveThread = "受信用スレッドを生成できませんでした";
constexpr const char* kErrBitRate = "通信速度の設定でエラーが発生しました";
constexpr const char* kErrCharSize = "通信ビット数の設定でエラーが発生しました";
constexpr const char* kErrParity = "通信パリティチェックの設定でエラーが発生しました";
constexpr const char* kErrStopBit = "通信ストップビット数の設定でエラーが発生しました";
constexpr const char* kErrFlowCtrl = "通信フロー制御の設定で失敗しました";
constexpr const char* kErrTimeouts = "通信タイムアウト時間の設定で失敗しました";
constexpr const char* kErrXon = "Ｘｏｎ文字の設定でエラーが発生しました";
constexpr const char* kErrXoff = "Ｘｏｆｆ文字の設定でエラーが発生しました";
constexpr const char* kErrBuffer = "通信用ポートのバッファを準備できませんでした";

constexpr int kMaxQueuedBlocks = 32;

// Flow-control flag word per TCommFlowCtrls value, and its bits.
constexpr uint32_t kFlowFlags[] = {0x2017, 0x102B, 0x1313, 0x0013, 0x1013, 0x1013};
constexpr uint32_t fOutxCtsFlow = 1u << 2;
constexpr uint32_t fOutX = 1u << 8;
constexpr uint32_t fInX = 1u << 9;
constexpr uint32_t DtrControl(uint32_t flags) {
    return (flags >> 4) & 3;
}
constexpr uint32_t RtsControl(uint32_t flags) {
    return (flags >> 12) & 3;
}

struct SpeedEntry {
    int32_t bitRate;
    speed_t code;
};
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Runs a notification once, on the UI thread: from the dispatcher's task or from a wait of
// the component's own, whichever comes first; the other finds it run (or cancelled: the
// component stopped waiting, and may be closed or gone) and does nothing.
template <class Handle> void RunDelivery(TCommDelivery& r, Handle&& handle) {
    {
        std::lock_guard lock(r.Lock);
        if (r.Now != TCommDelivery::State::Pending) {
            return;
        }
        r.Now = TCommDelivery::State::Running;
    }
    struct Finish {
        TCommDelivery& r;
        ~Finish() {
            {
                std::lock_guard lock(r.Lock);
                r.Now = TCommDelivery::State::Done;
            }
            r.Changed.notify_all();
        }
    } finish{r};
    handle();
}

// One character at the given bit rate, in whole ms rounded up; 0 when it cannot be computed.
int32_t CharTimeMs(int32_t bitRate) {
    const int32_t charsPerSecond = bitRate / 10;
    return charsPerSecond > 0 ? 1000 / charsPerSecond + 1 : 0;
}

} // namespace

TCustomCommX::TCustomCommX() {
    FTimeouts.ReadIntervalTimeout = 0xFFFFFFFFu;
    FTimeouts.ReadTotalTimeoutConstant = static_cast<uint32_t>(FTimeOutReceive);
    FTimeouts.WriteTotalTimeoutConstant = static_cast<uint32_t>(FTimeOutTrans);
}

TCustomCommX::~TCustomCommX() {
    Close();
    FLife->Alive = false;
}

void TCustomCommX::SetDispatcher(TCommDispatcher Dispatcher) {
    {
        std::lock_guard lock(FDeliverLock);
        FDispatcher = std::move(Dispatcher);
    }
    if (FReceive) {
        FReceive->Wake(); // it watches for characters only while there is a dispatcher
    }
}

bool TCustomCommX::HasDispatcher() {
    std::lock_guard lock(FDeliverLock);
    return static_cast<bool>(FDispatcher);
}

void TCustomCommX::SetProcessEvents(TCommProcessEvents ProcessEvents) {
    FProcessEvents = std::move(ProcessEvents);
}

void TCustomCommX::SetCounterSource(TCommCounterSource Source) {
    std::lock_guard lock(FErrLock);
    FCounterSource = std::move(Source);
}

uint32_t TCustomCommX::Handle() const {
    return FFd >= 0 ? static_cast<uint32_t>(FFd) : kCommInvalidHandle;
}

std::string TCustomCommX::DevicePath() const {
    if (!FDevice.empty()) {
        return FDevice;
    }
    const std::string local = "COM" + std::to_string(FPortNo);
    struct stat st {};
    if (::lstat(local.c_str(), &st) == 0) {
        return local;
    }
    return "/dev/ttyS" + std::to_string(static_cast<int64_t>(FPortNo) - 1);
}

// ---------------------------------------------------------------------------------------
// Open and Close

void TCustomCommX::Open() {
    if (Active()) {
        throw ECommError(kErrAlreadyOpen);
    }
    const std::string path = DevicePath();
    struct stat st {};
    // Only a character device (a link is followed); anything else fails like a missing port.
    if (::stat(path.c_str(), &st) != 0) {
        throw ECommError(kErrOpenFailed, path, errno);
    }
    if (!S_ISCHR(st.st_mode)) {
        throw ECommError(kErrOpenFailed, path, ENOTTY);
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw ECommError(kErrOpenFailed, path, errno);
    }
    // Exclusive use: flock keeps other processes (and other components) off even for root,
    // whom TIOCEXCL does not stop. The exclusive mode belongs to the terminal, not to this
    // descriptor: a refused open must not end the holder's, so it is set only once the
    // flock is ours, and from then on every path that ends the line ends it (Close).
    int why = 0;
    if (::fstat(fd, &st) != 0) {
        why = errno;
    } else if (!S_ISCHR(st.st_mode) || !::isatty(fd)) {
        why = ENOTTY;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        why = errno == EWOULDBLOCK ? EBUSY : errno;
    } else if (::ioctl(fd, TIOCEXCL) != 0) {
        why = errno;
    }
    if (why != 0) {
        ::close(fd); // TIOCEXCL, the last check, did not take effect
        throw ECommError(kErrOpenFailed, path, why);
    }
    FFd = fd;
    FOpenedPath = path;
    try {
        {
            std::lock_guard lock(FCounterLock);
            FPendingBytes = 0;
            FQueuedBlocks = 0;
        }
        SetupBuffers();
        ::tcflush(FFd, TCOFLUSH);
        ::tcflush(FFd, TCIFLUSH);
        ::tcgetattr(FFd, &FDcb.Tio);
        // Raw line: no echo, no translation, no signals; VMIN 1 so an empty non-blocking
        // read reports EAGAIN and end-of-file means the line hung up.
        ::cfmakeraw(&FDcb.Tio);
        FDcb.Tio.c_cflag |= CLOCAL | CREAD;
        FDcb.Tio.c_cc[VMIN] = 1;
        FDcb.Tio.c_cc[VTIME] = 0;
        ApplyBitRate(true);
        ApplyCharSize();
        ApplyParity();
        ApplyStopBit();
        ApplyFlowCtrl();
        ApplyTimeouts();
        ApplyXonChar();
        ApplyXoffChar();
        ClearLineErrors(); // start counting line events from here
        StartThreads();
        SleepMs(100);
    } catch (...) {
        Close();
        throw;
    }
}

void TCustomCommX::StartThreads() {
    FTrans.reset();
    FReceive.reset();
    const int32_t charTime = CharTimeMs(FBitRate);
    try {
        if (charTime <= 0) {
            throw std::system_error(std::make_error_code(std::errc::invalid_argument));
        }
        FTrans = std::make_unique<TCommTransThread>(*this, FFd);
        FTrans->CharTime = charTime;
        FTrans->Start();
    } catch (const std::exception&) {
        FTrans.reset();
        throw ECommError(kErrTransThread);
    }
    try {
        FReceive = std::make_unique<TCommReceiveThread>(*this, FFd);
        FReceive->Start();
    } catch (const std::exception&) {
        FReceive.reset();
        throw ECommError(kErrReceiveThread);
    }
}

void TCustomCommX::StopThreads() {
    // Stop requests first, then let go any worker waiting on the UI thread (which is here,
    // not handling events), then join.
    if (FTrans) {
        FTrans->Terminate();
    }
    if (FReceive) {
        FReceive->Terminate();
    }
    CancelDelivery(Slot::Trans);
    CancelDelivery(Slot::Receive);
    FTrans.reset();
    FReceive.reset();
}

void TCustomCommX::Close() {
    if (!Active()) {
        return;
    }
    SetDtr(false);
    SetRts(false);
    PurgeTrans();
    PurgeReceive();
    SleepMs(100);
    StopThreads();
    // The terminal keeps its exclusive mode beyond this descriptor (a pseudo-terminal as long
    // as its other end is open), and would refuse the next open to anyone but root. On a line
    // that has hung up the call fails, harmlessly: such a terminal is not opened again.
    [[maybe_unused]] const int r = ::ioctl(FFd, TIOCNXCL);
    ::close(FFd); // also releases the flock
    FFd = -1;
    ++FSession;
    SleepMs(200);
}

// ---------------------------------------------------------------------------------------
// Write and Read

bool TCustomCommX::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0) {
        return true;
    }
    if (Buffer == nullptr) {
        return false;
    }
    const auto life = FLife; // survives this component if a handler destroys it
    auto* data = static_cast<const uint8_t*>(Buffer);
    while (Count > 0) {
        if (!Active() || !FTrans) {
            return false;
        }
        if (QueuedBlocks() >= kMaxQueuedBlocks) {
            if (FProcessEvents) {
                const TCommProcessEvents processEvents = FProcessEvents;
                processEvents();
            } else {
                // Nothing else would run the notification a worker may wait on, and the
                // transmit thread finishes no block while it waits.
                RunWaitingDeliveries();
            }
            if (!life->Alive) {
                return false;
            }
            SleepMs(1);
            continue;
        }
        // A block length below 1 would never end the loop; a stored BufLenTrans < 1 (possible
        // after a failed setter on an open port) sends single bytes instead.
        const int32_t len = std::min(Count, std::max(FBufLenTrans, int32_t{1}));
        try {
            std::vector<uint8_t> block(data, data + len);
            {
                std::lock_guard lock(FCounterLock);
                FPendingBytes += len;
                ++FQueuedBlocks;
            }
            FTrans->Post(std::move(block));
        } catch (const std::bad_alloc&) {
            // This block's bytes are skipped.
        }
        data += len;
        Count -= len;
    }
    return true;
}

bool TCustomCommX::WriteString(const std::string& S) {
    if (S.empty()) {
        return true;
    }
    return Write(S.data(), static_cast<int32_t>(S.size()));
}

int32_t TCustomCommX::Read(void* Buffer, int32_t Count) {
    if (!Active() || !FReceive || Buffer == nullptr) {
        return -1;
    }
    if (Count <= 0) {
        return 0;
    }
    using Clock = std::chrono::steady_clock;
    const auto life = FLife;
    const uint64_t session = FSession;
    const int fd = FFd;
    const auto deadline = Clock::now() + std::chrono::milliseconds(FTimeOutReceive);
    for (;;) {
        const ssize_t n = ::read(fd, Buffer, static_cast<size_t>(Count));
        if (n > 0) {
            return static_cast<int32_t>(n);
        }
        if (n == 0) {
            return -1; // end of file: the line has hung up
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN) {
            if (const int32_t bits = ClearLineErrors()) {
                HandleNotify(WM_COMMERROR, bits);
            }
            return -1;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return 0;
        }
        // With an events hook, wait in 1 ms steps and let pending events run between them.
        const bool withEvents = static_cast<bool>(FProcessEvents);
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, withEvents ? 1 : static_cast<int>(left));
        if (r > 0) {
            if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLIN)) {
                return -1;
            }
            continue; // read what came (or learn of the hang-up from read)
        }
        if (withEvents) {
            const TCommProcessEvents processEvents = FProcessEvents;
            processEvents();
            if (!life->Alive || FSession != session || !Active() || !FReceive) {
                return -1; // closed (or destroyed) by a handler that ran meanwhile
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Purges, counts, modem lines

void TCustomCommX::PurgeTrans() {
    if (!Active()) {
        return;
    }
    if (!FTrans) {
        ::tcflush(FFd, TCOFLUSH);
        return;
    }
    FTrans->Abort = true;
    FTrans->Wake();
    CancelDelivery(Slot::Trans);
    do {
        {
            std::lock_guard lock(FTransLock);
            ::tcflush(FFd, TCOFLUSH);
        }
        SleepMs(1);
    } while (PendingBytes() > 0);
    FTrans->Abort = false;
}

void TCustomCommX::PurgeReceive() {
    if (Active()) {
        ::tcflush(FFd, TCIFLUSH);
    }
}

void TCustomCommX::ResumeTrans() {
    if (!Active()) {
        return;
    }
    // TCOON alone lifts only a stop made by TCOOFF; after one it also lifts a stop by XOFF.
    // The transmit thread, waiting for the line to take bytes, wakes when output restarts.
    ::tcflow(FFd, TCOOFF);
    ::tcflow(FFd, TCOON);
}

int32_t TCustomCommX::ReceiveCount() {
    if (!Active()) {
        return 0;
    }
    ClearLineErrors();
    int waiting = 0;
    if (::ioctl(FFd, FIONREAD, &waiting) != 0) {
        return 0;
    }
    return waiting;
}

int32_t TCustomCommX::PendingBytes() const {
    std::lock_guard lock(FCounterLock);
    return FPendingBytes;
}

int32_t TCustomCommX::QueuedBlocks() const {
    std::lock_guard lock(FCounterLock);
    return FQueuedBlocks;
}

int32_t TCustomCommX::TransCharTimeMs() const {
    return FTrans ? FTrans->CharTime.load() : 0;
}

void TCustomCommX::ModemLine(int bits, bool raise) const {
    // Pseudo-terminals have no modem lines (ENOTTY); a hung-up line fails with EIO. Neither
    // matters to the caller.
    [[maybe_unused]] int r = ::ioctl(FFd, raise ? TIOCMBIS : TIOCMBIC, &bits);
}

void TCustomCommX::SetRts(bool Value) {
    if (Active()) {
        ModemLine(TIOCM_RTS, Value);
    }
}

void TCustomCommX::SetDtr(bool Value) {
    if (Active()) {
        ModemLine(TIOCM_DTR, Value);
    }
}

int32_t TCustomCommX::ClearLineErrors(uint32_t* breaks) {
    std::lock_guard lock(FErrLock);
    TCommLineCounters now;
    if (FCounterSource) {
        if (!FCounterSource(FFd, now)) {
            return 0;
        }
    } else {
        serial_icounter_struct ic{};
        if (::ioctl(FFd, TIOCGICOUNT, &ic) != 0) {
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

// ---------------------------------------------------------------------------------------
// Notifications

void TCustomCommX::Deliver(Slot slot, int Msg, int32_t LParam,
                           const std::function<bool()>& abandoned) {
    auto record = std::make_shared<TCommDelivery>();
    record->Msg = Msg;
    record->LParam = LParam;
    TCommDispatcher dispatcher;
    {
        // Registered under the lock that CancelDelivery takes after the stop flags are set:
        // either the flags are seen here, or CancelDelivery finds this record.
        std::lock_guard lock(FDeliverLock);
        if (!FDispatcher || abandoned()) {
            return;
        }
        dispatcher = FDispatcher;
        FDelivery[static_cast<int>(slot)] = record;
    }
    dispatcher([record, this] {
        RunDelivery(*record, [this, &record] { HandleNotify(record->Msg, record->LParam); });
    });
    {
        std::unique_lock lock(record->Lock);
        record->Changed.wait(lock, [&] {
            return record->Now == TCommDelivery::State::Done ||
                   record->Now == TCommDelivery::State::Cancelled || record->Released;
        });
    }
    std::lock_guard lock(FDeliverLock);
    if (FDelivery[static_cast<int>(slot)] == record) {
        FDelivery[static_cast<int>(slot)].reset();
    }
}

bool TCustomCommX::RunWaitingDeliveries() {
    const auto life = FLife;
    for (const Slot slot : {Slot::Trans, Slot::Receive}) {
        std::shared_ptr<TCommDelivery> record;
        {
            std::lock_guard lock(FDeliverLock);
            record = FDelivery[static_cast<int>(slot)];
        }
        if (record) {
            RunDelivery(*record, [this, &record] { HandleNotify(record->Msg, record->LParam); });
            if (!life->Alive) {
                return false;
            }
        }
    }
    return true;
}

void TCustomCommX::CancelDelivery(Slot slot) {
    std::shared_ptr<TCommDelivery> record;
    {
        std::lock_guard lock(FDeliverLock);
        record = std::move(FDelivery[static_cast<int>(slot)]);
    }
    if (!record) {
        return;
    }
    {
        std::lock_guard lock(record->Lock);
        if (record->Now == TCommDelivery::State::Pending) {
            record->Now = TCommDelivery::State::Cancelled;
        } else {
            record->Released = true; // its task is running further up this UI thread's stack
        }
    }
    record->Changed.notify_all();
}

void TCustomCommX::HandleNotify(int Msg, int32_t LParam) {
    switch (Msg) {
    case WM_COMMDATA:
        if (Active() && OnReceive) {
            if (const int32_t waiting = ReceiveCount()) {
                const TCommReceiveEvent handler = OnReceive;
                handler(*this, waiting);
            }
        }
        break;
    case WM_COMMBREAK:
        if (Active() && OnBreak) {
            const TCommBreakEvent handler = OnBreak;
            handler(*this);
        }
        break;
    case WM_COMMERROR:
        if (Active() && OnError) {
            const TCommErrEvent handler = OnError;
            handler(*this, LParam);
        }
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------
// Line settings

void TCustomCommX::ApplyDcb(const char* errorText) {
    if (::tcsetattr(FFd, TCSANOW, &FDcb.Tio) != 0) {
        throw ECommError(errorText, FOpenedPath, errno);
    }
}

void TCustomCommX::SetupBuffers() const {
    // The driver's queues are fixed; the sizes only have to make sense.
    if (FBufLenTrans < 1 || FBufLenReceive < 1) {
        throw ECommError(kErrBuffer);
    }
}

void TCustomCommX::ApplyBitRate(bool opening) {
    const auto* entry = std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                                     [&](const SpeedEntry& e) { return e.bitRate == FBitRate; });
    if (entry == std::end(kSpeeds)) {
        // Below 10 bit/s no character time exists; Open reports that when it starts the
        // transmit thread, so the speed is left as the driver had it here.
        if (opening && FBitRate < 10) {
            return;
        }
        throw ECommError(kErrBitRate);
    }
    ::cfsetispeed(&FDcb.Tio, entry->code);
    ::cfsetospeed(&FDcb.Tio, entry->code);
    ApplyDcb(kErrBitRate);
}

void TCustomCommX::ApplyCharSize() {
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    const int bits = FCharSize & 0xFF;
    if (bits < 5 || bits > 8) {
        throw ECommError(kErrCharSize);
    }
    FDcb.Tio.c_cflag = (FDcb.Tio.c_cflag & ~CSIZE) | sizes[bits - 5];
    ApplyDcb(kErrCharSize);
}

void TCustomCommX::ApplyParity() {
    tcflag_t& c = FDcb.Tio.c_cflag;
    tcflag_t& i = FDcb.Tio.c_iflag;
    switch (FParityBit) {
    case cpbNone:
        c &= ~(PARENB | PARODD);
        i &= ~INPCK;
        break;
    case cpbOdd:
        c |= PARENB | PARODD;
        i |= INPCK;
        break;
    case cpbEven:
        c = (c | PARENB) & ~PARODD;
        i |= INPCK;
        break;
    default:
        throw ECommError(kErrParity);
    }
    ApplyDcb(kErrParity);
}

void TCustomCommX::ApplyStopBit() {
    switch (FStopBit) {
    case csb1:
        FDcb.Tio.c_cflag &= ~CSTOPB;
        break;
    case csb1p5:
    case csb2:
        FDcb.Tio.c_cflag |= CSTOPB;
        break;
    default:
        throw ECommError(kErrStopBit);
    }
    ApplyDcb(kErrStopBit);
}

void TCustomCommX::ApplyFlowCtrl() {
    const auto mode = static_cast<unsigned>(FlowCtrl());
    if (mode >= std::size(kFlowFlags)) {
        throw ECommError(kErrFlowCtrl);
    }
    const uint32_t flags = kFlowFlags[mode];
    FDcb.Flags = flags;
    FDcb.XonLim = static_cast<uint16_t>(FBufLenReceive / 4);
    FDcb.XoffLim = static_cast<uint16_t>(FBufLenReceive / 4);
    termios& t = FDcb.Tio;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cflag &= ~CRTSCTS;
    if (flags & fOutX) {
        t.c_iflag |= IXON;
    }
    if (flags & fInX) {
        t.c_iflag |= IXOFF;
    }
    if ((flags & fOutxCtsFlow) || RtsControl(flags) == 2) {
        t.c_cflag |= CRTSCTS;
    }
    ApplyDcb(kErrFlowCtrl);
    // Line levels the flag word asks for: DTR enabled or handshake -> raised; RTS enabled ->
    // raised, disabled -> lowered (handshake leaves RTS to the driver).
    ModemLine(TIOCM_DTR, DtrControl(flags) != 0);
    if (RtsControl(flags) != 2) {
        ModemLine(TIOCM_RTS, RtsControl(flags) == 1);
    }
}

void TCustomCommX::ApplyTimeouts() {
    // Negative times cannot be expressed.
    if (FTimeOutReceive < 0 || FTimeOutTrans < 0) {
        throw ECommError(kErrTimeouts);
    }
    FTimeouts.ReadIntervalTimeout = 0xFFFFFFFFu;
    FTimeouts.ReadTotalTimeoutMultiplier = 0;
    FTimeouts.ReadTotalTimeoutConstant = static_cast<uint32_t>(FTimeOutReceive);
    FTimeouts.WriteTotalTimeoutMultiplier = 0;
    FTimeouts.WriteTotalTimeoutConstant = static_cast<uint32_t>(FTimeOutTrans);
    FWriteTimeoutMs = FTimeouts.WriteTotalTimeoutConstant;
}

void TCustomCommX::ApplyXonChar() {
    // Equal XON and XOFF characters would make flow control meaningless: refused.
    FDcb.Tio.c_cc[VSTART] = static_cast<cc_t>(FXonChar);
    if (FXonChar == FXoffChar) {
        throw ECommError(kErrXon);
    }
    ApplyDcb(kErrXon);
}

void TCustomCommX::ApplyXoffChar() {
    FDcb.Tio.c_cc[VSTOP] = static_cast<cc_t>(FXoffChar);
    if (FXonChar == FXoffChar) {
        throw ECommError(kErrXoff);
    }
    ApplyDcb(kErrXoff);
}

// ---------------------------------------------------------------------------------------
// Property setters: store; while open, apply at once.

void TCustomCommX::SetPortNo(int32_t Value) {
    FPortNo = Value;
    if (Active()) {
        Close();
        Open();
    }
}

void TCustomCommX::SetBitRate(int32_t Value) {
    FBitRate = Value;
    if (Active()) {
        ApplyBitRate(false);
        if (FTrans) {
            FTrans->CharTime = CharTimeMs(FBitRate);
        }
    }
}

void TCustomCommX::SetCharSize(int32_t Value) {
    FCharSize = Value;
    if (Active()) {
        ApplyCharSize();
    }
}

void TCustomCommX::SetParityBit(TCommParityBits Value) {
    FParityBit = Value;
    if (Active()) {
        ApplyParity();
    }
}

void TCustomCommX::SetStopBit(TCommStopBits Value) {
    FStopBit = Value;
    if (Active()) {
        ApplyStopBit();
    }
}

void TCustomCommX::SetFlowCtrl(TCommFlowCtrls Value) {
    FFlowCtrl = Value;
    if (Active()) {
        ApplyFlowCtrl();
    }
}

void TCustomCommX::SetTimeOutTrans(int32_t Value) {
    FTimeOutTrans = Value;
    if (Active()) {
        ApplyTimeouts();
    }
}

void TCustomCommX::SetTimeOutReceive(int32_t Value) {
    FTimeOutReceive = Value;
    if (Active()) {
        ApplyTimeouts();
    }
}

void TCustomCommX::SetXonChar(uint8_t Value) {
    FXonChar = Value;
    if (Active()) {
        ApplyXonChar();
    }
}

void TCustomCommX::SetXoffChar(uint8_t Value) {
    FXoffChar = Value;
    if (Active()) {
        ApplyXoffChar();
    }
}

void TCustomCommX::SetBufLenTrans(int32_t Value) {
    FBufLenTrans = Value;
    if (Active()) {
        SetupBuffers();
    }
}

void TCustomCommX::SetBufLenReceive(int32_t Value) {
    FBufLenReceive = Value;
    if (Active()) {
        SetupBuffers();
        ApplyFlowCtrl();
    }
}

} // namespace myrl
