#include "WindowFrames.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#if MYRL_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace myrl {

void PlaceFrame(QWidget& w, QPoint frame) {
    QWindow* handle = w.windowHandle();
    if (!w.testAttribute(Qt::WA_WState_Created) || handle == nullptr ||
        QGuiApplication::platformName() != QLatin1String("xcb")) {
        // Before creation Qt takes a window's position as its frame's; so it does on
        // platforms whose frames are known at once (offscreen).
        w.move(frame);
        return;
    }
    // On X11 QWidget::move adds the frame Qt knows of, which is none until the window
    // manager has framed the window (some time after it is shown); the window manager
    // itself places the frame when asked with the frame's corner.
    handle->setFramePosition(frame);
}

QList<QRect> ScreenRects() {
    QList<QRect> rects;
    for (const QScreen* s : QGuiApplication::screens()) {
        rects.append(s->geometry());
    }
    return rects;
}

namespace {

// Distance from the interval [lo, hi] to the interval [a, b] (0 when they overlap).
int64_t gap(int64_t lo, int64_t hi, int64_t a, int64_t b) {
    return std::max<int64_t>({0, a - hi, lo - b});
}

// Moves [lo, lo + len) the least into [a, a + span): wholly inside where it fits.
int64_t fit(int64_t lo, int64_t len, int64_t a, int64_t span) {
    return len >= span ? a : std::clamp(lo, a, a + span - len);
}

} // namespace

QPoint OntoNearestScreen(QPoint corner, QSize size, const QList<QRect>& screens) {
    const int64_t x = corner.x(), y = corner.y();
    const int64_t w = std::max(size.width(), 1), h = std::max(size.height(), 1);
    const QRect* nearest = nullptr;
    int64_t best = std::numeric_limits<int64_t>::max();
    for (const QRect& s : screens) {
        const int64_t dx = gap(x, x + w - 1, s.left(), s.right());
        const int64_t dy = gap(y, y + h - 1, s.top(), s.bottom());
        if (dx == 0 && dy == 0) {
            return corner; // on a screen, if only in part
        }
        const int64_t d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            nearest = &s;
        }
    }
    if (nearest == nullptr) {
        return corner;
    }
    const QRect& s = *nearest;
    return QPoint(static_cast<int>(fit(x, w, s.left(), s.width())),
                  static_cast<int>(fit(y, h, s.top(), s.height())));
}

bool ShowableWidth(int width, const QList<QRect>& screens) {
    QRect span;
    for (const QRect& s : screens) {
        span = span.united(s);
    }
    return width >= 1 && (screens.isEmpty() || width <= span.width());
}

const char* ChoosePlatform(const DisplayOffer& offer) {
    return !offer.PlatformNamed && offer.Wayland && offer.XAnswers && offer.XAnswers() ? "xcb"
                                                                                       : nullptr;
}

namespace {

bool setInEnvironment(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

} // namespace

DisplayOffer OfferOfEnvironment(bool platformOption) {
    const char* session = std::getenv("XDG_SESSION_TYPE");
    DisplayOffer offer;
    offer.PlatformNamed = platformOption || setInEnvironment("QT_QPA_PLATFORM");
    offer.Wayland = setInEnvironment("WAYLAND_DISPLAY") ||
                    (session != nullptr && std::strcmp(session, "wayland") == 0);
    offer.XAnswers = [] {
#if MYRL_HAVE_XCB
        if (!setInEnvironment("DISPLAY")) {
            return false;
        }
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        const bool answers = xcb_connection_has_error(c) == 0;
        xcb_disconnect(c);
        return answers;
#else
        return false;
#endif
    };
    return offer;
}

#if MYRL_HAVE_XCB
namespace {

// The atom of `name`; XCB_ATOM_NONE where it fails, or where no client has made it yet and
// `make` is false.
xcb_atom_t atomNamed(xcb_connection_t* c, const char* name, bool make = false) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, make ? 0 : 1, std::strlen(name), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The values of a property of `window` (format 32), empty when it has none.
std::vector<uint32_t> property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name,
                                 xcb_atom_t type) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 4096), nullptr),
        &std::free);
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(v, v + xcb_get_property_value_length(reply.get()) / 4);
}

// No window manager (the windows are their own frames), or one that says where its frames
// are.
bool x11FramesKnown() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr) {
        return true;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t check = atomNamed(c, "_NET_SUPPORTING_WM_CHECK");
    if (check == XCB_ATOM_NONE || property32(c, root, check, XCB_ATOM_WINDOW).empty()) {
        return true;
    }
    const xcb_atom_t extents = atomNamed(c, "_NET_FRAME_EXTENTS");
    const std::vector<uint32_t> supported =
        property32(c, root, atomNamed(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return extents != XCB_ATOM_NONE &&
           std::find(supported.begin(), supported.end(), extents) != supported.end();
}

} // namespace
#endif

bool WindowPositionsKnown() {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        return false;
    }
#if MYRL_HAVE_XCB
    if (platform == QLatin1String("xcb")) {
        return x11FramesKnown();
    }
#endif
    return true;
}

void AskForTitleBarOnly([[maybe_unused]] QWidget& w) {
#if MYRL_HAVE_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr) {
        return;
    }
    const xcb_atom_t atom = atomNamed(c, "_MOTIF_WM_HINTS", true);
    if (atom == XCB_ATOM_NONE) {
        return;
    }
    // flags, functions, decorations, input mode, status. Functions: move only (no
    // resize, minimise, maximise or close); decorations: border and title only.
    constexpr uint32_t kFunctions = 1u << 0, kDecorations = 1u << 1;
    constexpr uint32_t kFuncMove = 1u << 2;
    constexpr uint32_t kDecorBorder = 1u << 1, kDecorTitle = 1u << 3;
    const std::array<uint32_t, 5> hints{kFunctions | kDecorations, kFuncMove,
                                        kDecorBorder | kDecorTitle, 0, 0};
    // winId() creates the native window (with Qt's own hints) if it does not exist yet;
    // Qt writes its hints only at creation and on a change of window flags.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(w.winId()), atom, atom,
                        32, hints.size(), hints.data());
    xcb_flush(c);
#endif
}

} // namespace myrl
