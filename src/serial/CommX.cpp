#include "CommX.h"

#include "CommShared.h"
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

TCustomCommX::TCustomCommX()
    : shared_(std::make_unique<TCommShared>(
          [this](TCommSlot slot, int Msg, int32_t LParam, const std::function<bool()>& abandoned) {
              Deliver(slot, Msg, LParam, abandoned);
          },
          [this] { return HasDispatcher(); })) {
    timeouts_.ReadIntervalTimeout = 0xFFFFFFFFu;
    timeouts_.ReadTotalTimeoutConstant = static_cast<uint32_t>(timeOutReceive_);
    timeouts_.WriteTotalTimeoutConstant = static_cast<uint32_t>(timeOutTrans_);
}

TCustomCommX::~TCustomCommX() {
    Close();
    life_->Alive = false;
}

void TCustomCommX::SetDispatcher(TCommDispatcher Dispatcher) {
    {
        std::lock_guard lock(deliverLock_);
        dispatcher_ = std::move(Dispatcher);
    }
    if (receive_) {
        receive_->Wake(); // it watches for characters only while there is a dispatcher
    }
}

bool TCustomCommX::HasDispatcher() {
    std::lock_guard lock(deliverLock_);
    return static_cast<bool>(dispatcher_);
}

void TCustomCommX::SetProcessEvents(TCommProcessEvents ProcessEvents) {
    processEvents_ = std::move(ProcessEvents);
}

void TCustomCommX::SetWaitEvents(TCommWaitEvents WaitEvents) {
    waitEvents_ = std::move(WaitEvents);
}

void TCustomCommX::SetCounterSource(TCommCounterSource Source) {
    shared_->SetCounterSource(std::move(Source));
}

uint32_t TCustomCommX::Handle() const {
    return fd_ >= 0 ? static_cast<uint32_t>(fd_) : kCommInvalidHandle;
}

std::string TCustomCommX::DevicePath() const {
    if (!device_.empty()) {
        return device_;
    }
    const std::string local = "COM" + std::to_string(portNo_);
    struct stat st {};
    if (::lstat(local.c_str(), &st) == 0) {
        return local;
    }
    return "/dev/ttyS" + std::to_string(static_cast<int64_t>(portNo_) - 1);
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
    fd_ = fd;
    openedPath_ = path;
    try {
        shared_->ResetCounts();
        SetupBuffers();
        // A flush that fails (the line hung up meanwhile) leaves bytes that the next purge
        // discards; the settings below fail on such a line anyway.
        ::tcflush(fd_, TCOFLUSH);
        ::tcflush(fd_, TCIFLUSH);
        if (::tcgetattr(fd_, &dcb_.Tio) != 0) {
            throw ECommError(kErrOpenFailed); // no settings to start from
        }
        foundTio_ = dcb_.Tio; // given back at Close
        // Raw line: no echo, no translation, no signals; VMIN 1 so an empty non-blocking
        // read reports EAGAIN and end-of-file means the line hung up.
        ::cfmakeraw(&dcb_.Tio);
        dcb_.Tio.c_cflag |= CLOCAL | CREAD;
        dcb_.Tio.c_cc[VMIN] = 1;
        dcb_.Tio.c_cc[VTIME] = 0;
        ApplyBitRate(true);
        ApplyCharSize();
        ApplyParity();
        ApplyStopBit();
        ApplyFlowCtrl();
        ApplyTimeouts();
        ApplyXonChar();
        ApplyXoffChar();
        shared_->ClearLineErrors(fd_); // start counting line events from here
        StartThreads();
        SleepMs(100);
    } catch (...) {
        Close();
        throw;
    }
}

void TCustomCommX::StartThreads() {
    trans_.reset();
    receive_.reset();
    const int32_t charTime = CharTimeMs(bitRate_);
    try {
        if (charTime <= 0) {
            throw std::system_error(std::make_error_code(std::errc::invalid_argument));
        }
        trans_ = std::make_unique<TCommTransThread>(*shared_, fd_);
        trans_->CharTime = charTime;
        trans_->Start();
    } catch (const std::exception&) {
        trans_.reset();
        throw ECommError(kErrTransThread);
    }
    try {
        receive_ = std::make_unique<TCommReceiveThread>(*shared_, fd_);
        receive_->Start();
    } catch (const std::exception&) {
        receive_.reset();
        throw ECommError(kErrReceiveThread);
    }
}

void TCustomCommX::StopThreads() {
    // Stop requests first, then let go any worker waiting on the UI thread (which is here,
    // not handling events), then join.
    if (trans_) {
        trans_->Terminate();
    }
    if (receive_) {
        receive_->Terminate();
    }
    CancelDelivery(TCommSlot::Trans);
    CancelDelivery(TCommSlot::Receive);
    trans_.reset();
    receive_.reset();
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
    // The line as it was found: the next program to open it (a terminal, a shell on a serial
    // console) expects its own settings, not ours. Fails harmlessly on a line gone.
    if (foundTio_) {
        ::tcsetattr(fd_, TCSANOW, &*foundTio_);
        foundTio_.reset();
    }
    // The terminal keeps its exclusive mode beyond this descriptor (a pseudo-terminal as long
    // as its other end is open), and would refuse the next open to anyone but root. On a line
    // that has hung up the call fails, harmlessly: such a terminal is not opened again.
    [[maybe_unused]] const int r = ::ioctl(fd_, TIOCNXCL);
    ::close(fd_); // also releases the flock
    fd_ = -1;
    ++session_;
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
    const auto life = life_; // survives this component if a handler destroys it
    auto* data = static_cast<const uint8_t*>(Buffer);
    while (Count > 0) {
        if (!Active() || !trans_) {
            return false;
        }
        if (QueuedBlocks() >= kMaxQueuedBlocks) {
            if (processEvents_) {
                const TCommProcessEvents processEvents = processEvents_;
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
        const int32_t len = std::min(Count, std::max(bufLenTrans_, int32_t{1}));
        try {
            std::vector<uint8_t> block(data, data + len);
            shared_->AddBlock(len);
            trans_->Post(std::move(block));
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
    if (!Active() || !receive_ || Buffer == nullptr) {
        return -1;
    }
    if (Count <= 0) {
        return 0;
    }
    using Clock = std::chrono::steady_clock;
    const auto life = life_;
    const uint64_t session = session_;
    const int fd = fd_;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeOutReceive_);
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
            if (const int32_t bits = shared_->ClearLineErrors(fd_)) {
                HandleNotify(TCommShared::WM_COMMERROR, bits);
            }
            return -1;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return 0;
        }
        if (waitEvents_) {
            // The UI thread's event loop waits for the line and its own events at once.
            const TCommWaitEvents waitEvents = waitEvents_;
            waitEvents(fd, static_cast<int>(left));
            if (!life->Alive || session_ != session || !Active() || !receive_) {
                return -1; // closed (or destroyed) by a handler that ran meanwhile
            }
            continue;
        }
        // With an events hook, wait in 1 ms steps and let pending events run between them.
        const bool withEvents = static_cast<bool>(processEvents_);
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, withEvents ? 1 : static_cast<int>(left));
        if (r > 0) {
            if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLIN)) {
                return -1;
            }
            continue; // read what came (or learn of the hang-up from read)
        }
        if (withEvents) {
            const TCommProcessEvents processEvents = processEvents_;
            processEvents();
            if (!life->Alive || session_ != session || !Active() || !receive_) {
                return -1; // closed (or destroyed) by a handler that ran meanwhile
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Purges, counts, modem lines

// A flush fails only on a line that is gone; the next Read or Write reports that, so the
// purges do not.
void TCustomCommX::PurgeTrans() {
    if (!Active()) {
        return;
    }
    int left = 0; // bytes still in the driver: on a line that moves, the last block has gone
    if (::ioctl(fd_, TIOCOUTQ, &left) != 0) {
        left = 0;
    }
    shared_->OutputPurged(left);
    if (!trans_) {
        ::tcflush(fd_, TCOFLUSH);
        return;
    }
    trans_->Abort = true;
    trans_->Wake();
    CancelDelivery(TCommSlot::Trans);
    do {
        {
            std::lock_guard lock(shared_->TransLock);
            ::tcflush(fd_, TCOFLUSH);
        }
        SleepMs(1);
    } while (PendingBytes() > 0);
    trans_->Abort = false;
}

void TCustomCommX::PurgeReceive() {
    if (Active()) {
        ::tcflush(fd_, TCIFLUSH);
    }
}

void TCustomCommX::ResumeTrans() {
    if (!Active()) {
        return;
    }
    // TCOON alone lifts only a stop made by TCOOFF; after one it also lifts a stop by XOFF.
    // The transmit thread, waiting for the line to take bytes, wakes when output restarts.
    ::tcflow(fd_, TCOOFF);
    ::tcflow(fd_, TCOON);
}

int32_t TCustomCommX::ReceiveCount() {
    if (!Active()) {
        return 0;
    }
    shared_->ClearLineErrors(fd_);
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
        return 0;
    }
    return waiting;
}

namespace {
// How long output must stay held before it counts: a queue full for a moment is no hold.
constexpr int64_t kOutputHeldNs = 1'000'000'000;
} // namespace

bool TCustomCommX::OutputHeld() const {
    const int64_t since = shared_->OutputHeldSince();
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
    return Active() && since != 0 && now - since >= kOutputHeldNs;
}

int32_t TCustomCommX::PendingBytes() const {
    return shared_->PendingBytes();
}

int32_t TCustomCommX::QueuedBlocks() const {
    return shared_->QueuedBlocks();
}

int32_t TCustomCommX::TransCharTimeMs() const {
    return trans_ ? trans_->CharTime.load() : 0;
}

void TCustomCommX::SetRts(bool Value) {
    if (Active()) {
        CommModemLine(fd_, TIOCM_RTS, Value);
    }
}

void TCustomCommX::SetDtr(bool Value) {
    if (Active()) {
        CommModemLine(fd_, TIOCM_DTR, Value);
    }
}

// ---------------------------------------------------------------------------------------
// Notifications

void TCustomCommX::Deliver(TCommSlot slot, int Msg, int32_t LParam,
                           const std::function<bool()>& abandoned) {
    auto record = std::make_shared<TCommDelivery>();
    record->Msg = Msg;
    record->LParam = LParam;
    TCommDispatcher dispatcher;
    {
        // Registered under the lock that CancelDelivery takes after the stop flags are set:
        // either the flags are seen here, or CancelDelivery finds this record.
        std::lock_guard lock(deliverLock_);
        if (!dispatcher_ || abandoned()) {
            return;
        }
        dispatcher = dispatcher_;
        delivery_[static_cast<int>(slot)] = record;
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
    std::lock_guard lock(deliverLock_);
    if (delivery_[static_cast<int>(slot)] == record) {
        delivery_[static_cast<int>(slot)].reset();
    }
}

bool TCustomCommX::RunWaitingDeliveries() {
    const auto life = life_;
    for (const TCommSlot slot : {TCommSlot::Trans, TCommSlot::Receive}) {
        std::shared_ptr<TCommDelivery> record;
        {
            std::lock_guard lock(deliverLock_);
            record = delivery_[static_cast<int>(slot)];
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

void TCustomCommX::CancelDelivery(TCommSlot slot) {
    std::shared_ptr<TCommDelivery> record;
    {
        std::lock_guard lock(deliverLock_);
        record = std::move(delivery_[static_cast<int>(slot)]);
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
    case TCommShared::WM_COMMDATA:
        if (Active() && OnReceive) {
            if (const int32_t waiting = ReceiveCount()) {
                const TCommReceiveEvent handler = OnReceive;
                handler(*this, waiting);
            }
        }
        break;
    case TCommShared::WM_COMMBREAK:
        if (Active() && OnBreak) {
            const TCommBreakEvent handler = OnBreak;
            handler(*this);
        }
        break;
    case TCommShared::WM_COMMERROR:
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
    if (::tcsetattr(fd_, TCSANOW, &dcb_.Tio) != 0) {
        throw ECommError(errorText, openedPath_, errno);
    }
}

void TCustomCommX::SetupBuffers() const {
    // The driver's queues are fixed; the sizes only have to make sense.
    if (bufLenTrans_ < 1 || bufLenReceive_ < 1) {
        throw ECommError(kErrBuffer);
    }
}

void TCustomCommX::ApplyBitRate(bool opening) {
    const auto* entry = std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                                     [&](const SpeedEntry& e) { return e.bitRate == bitRate_; });
    if (entry == std::end(kSpeeds)) {
        // Below 10 bit/s no character time exists; Open reports that when it starts the
        // transmit thread, so the speed is left as the driver had it here.
        if (opening && bitRate_ < 10) {
            return;
        }
        throw ECommError(kErrBitRate);
    }
    ::cfsetispeed(&dcb_.Tio, entry->code);
    ::cfsetospeed(&dcb_.Tio, entry->code);
    ApplyDcb(kErrBitRate);
}

void TCustomCommX::ApplyCharSize() {
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    const int bits = charSize_ & 0xFF;
    if (bits < 5 || bits > 8) {
        throw ECommError(kErrCharSize);
    }
    dcb_.Tio.c_cflag = (dcb_.Tio.c_cflag & ~CSIZE) | sizes[bits - 5];
    ApplyDcb(kErrCharSize);
}

void TCustomCommX::ApplyParity() {
    tcflag_t& c = dcb_.Tio.c_cflag;
    tcflag_t& i = dcb_.Tio.c_iflag;
    switch (parityBit_) {
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
    switch (stopBit_) {
    case csb1:
        dcb_.Tio.c_cflag &= ~CSTOPB;
        break;
    case csb1p5:
    case csb2:
        dcb_.Tio.c_cflag |= CSTOPB;
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
    dcb_.Flags = flags;
    dcb_.XonLim = static_cast<uint16_t>(bufLenReceive_ / 4);
    dcb_.XoffLim = static_cast<uint16_t>(bufLenReceive_ / 4);
    termios& t = dcb_.Tio;
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
    CommModemLine(fd_, TIOCM_DTR, DtrControl(flags) != 0);
    if (RtsControl(flags) != 2) {
        CommModemLine(fd_, TIOCM_RTS, RtsControl(flags) == 1);
    }
}

void TCustomCommX::ApplyTimeouts() {
    // Negative times cannot be expressed.
    if (timeOutReceive_ < 0 || timeOutTrans_ < 0) {
        throw ECommError(kErrTimeouts);
    }
    timeouts_.ReadIntervalTimeout = 0xFFFFFFFFu;
    timeouts_.ReadTotalTimeoutMultiplier = 0;
    timeouts_.ReadTotalTimeoutConstant = static_cast<uint32_t>(timeOutReceive_);
    timeouts_.WriteTotalTimeoutMultiplier = 0;
    timeouts_.WriteTotalTimeoutConstant = static_cast<uint32_t>(timeOutTrans_);
    shared_->WriteTimeoutMs = timeouts_.WriteTotalTimeoutConstant;
}

void TCustomCommX::ApplyXonChar() {
    // Equal XON and XOFF characters would make flow control meaningless: refused.
    dcb_.Tio.c_cc[VSTART] = static_cast<cc_t>(xonChar_);
    if (xonChar_ == xoffChar_) {
        throw ECommError(kErrXon);
    }
    ApplyDcb(kErrXon);
}

void TCustomCommX::ApplyXoffChar() {
    dcb_.Tio.c_cc[VSTOP] = static_cast<cc_t>(xoffChar_);
    if (xonChar_ == xoffChar_) {
        throw ECommError(kErrXoff);
    }
    ApplyDcb(kErrXoff);
}

// ---------------------------------------------------------------------------------------
// Property setters: store; while open, apply at once.

void TCustomCommX::SetPortNo(int32_t Value) {
    portNo_ = Value;
    if (Active()) {
        Close();
        Open();
    }
}

void TCustomCommX::SetBitRate(int32_t Value) {
    bitRate_ = Value;
    if (Active()) {
        ApplyBitRate(false);
        if (trans_) {
            trans_->CharTime = CharTimeMs(bitRate_);
        }
    }
}

void TCustomCommX::SetCharSize(int32_t Value) {
    charSize_ = Value;
    if (Active()) {
        ApplyCharSize();
    }
}

void TCustomCommX::SetParityBit(TCommParityBits Value) {
    parityBit_ = Value;
    if (Active()) {
        ApplyParity();
    }
}

void TCustomCommX::SetStopBit(TCommStopBits Value) {
    stopBit_ = Value;
    if (Active()) {
        ApplyStopBit();
    }
}

void TCustomCommX::SetFlowCtrl(TCommFlowCtrls Value) {
    flowCtrl_ = Value;
    shared_->FlowCtrl = Value;
    if (Active()) {
        ApplyFlowCtrl();
    }
}

void TCustomCommX::SetTimeOutTrans(int32_t Value) {
    timeOutTrans_ = Value;
    if (Active()) {
        ApplyTimeouts();
    }
}

void TCustomCommX::SetTimeOutReceive(int32_t Value) {
    timeOutReceive_ = Value;
    if (Active()) {
        ApplyTimeouts();
    }
}

void TCustomCommX::SetXonChar(uint8_t Value) {
    xonChar_ = Value;
    if (Active()) {
        ApplyXonChar();
    }
}

void TCustomCommX::SetXoffChar(uint8_t Value) {
    xoffChar_ = Value;
    if (Active()) {
        ApplyXoffChar();
    }
}

void TCustomCommX::SetBufLenTrans(int32_t Value) {
    bufLenTrans_ = Value;
    if (Active()) {
        SetupBuffers();
    }
}

void TCustomCommX::SetBufLenReceive(int32_t Value) {
    bufLenReceive_ = Value;
    if (Active()) {
        SetupBuffers();
        ApplyFlowCtrl();
    }
}

} // namespace myrl
