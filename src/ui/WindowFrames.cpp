#include "WindowFrames.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>

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
    static constexpr char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kName - 1, kName), nullptr);
    if (atom == nullptr) {
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
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(w.winId()), atom->atom,
                        atom->atom, 32, hints.size(), hints.data());
    xcb_flush(c);
    std::free(atom);
#endif
}

} // namespace myrl
