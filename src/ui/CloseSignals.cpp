#include "CloseSignals.h"

#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace myrl {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_pair[2] = {-1, -1}; // [0] watched by the event loop, [1] written by the handler
std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onCloseSignal(int sig) {
    int none = 0;
    if (!g_received.compare_exchange_strong(none, sig)) {
        // The close is under way (or was refused): this one ends the program as the
        // signal would have without a handler.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    const int saved = errno;
    const char c = static_cast<char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pair[1], &c, 1);
    errno = saved;
}

} // namespace

void CatchCloseSignals() {
    if (g_pair[0] >= 0) {
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_pair) != 0) {
        const char* reason = ::strerrordesc_np(errno);
        std::fprintf(stderr, "myrl: signals end the program at once: %s\n",
                     reason != nullptr ? reason : "no socket pair");
        return;
    }
    struct sigaction sa {};
    sa.sa_handler = onCloseSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int sig : kSignals) {
        ::sigaction(sig, &sa, nullptr);
    }
}

void CloseOnSignals(QWidget& window) {
    if (g_pair[0] < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_pair[0], QSocketNotifier::Read, &window);
    QWidget* target = &window;
    QObject::connect(notifier, &QSocketNotifier::activated, target, [target] {
        char buf[16];
        while (::read(g_pair[0], buf, sizeof buf) > 0) {
        }
        const int sig = g_received.load();
        std::fprintf(stderr, "myrl: %s: closing as the control panel's close does\n",
                     sigabbrev_np(sig) != nullptr ? sigabbrev_np(sig) : "signal");
        target->close();
    });
}

} // namespace myrl
