// A top-level window's place as the user sees it: the top-left corner of its frame,
// title bar included. Qt takes a position as the frame's corner only before the window
// exists or once the window manager has framed it (whose frame arrives some time after
// the window is shown); these helpers keep to the frame in between too.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>

class QWidget;

namespace myrl {

// What the environment offers the program's windows, before the application object exists.
struct DisplayOffer {
    bool PlatformNamed = false;     // QT_QPA_PLATFORM, or -platform on the command line
    bool Wayland = false;           // a Wayland display (WAYLAND_DISPLAY, or a Wayland session)
    std::function<bool()> XAnswers; // whether the X display (DISPLAY) accepts a connection
};

// The platform plugin to ask Qt for: "xcb" where Qt would take Wayland though an X display
// (Xwayland) answers and nothing names a platform, since only X11 lets a program place its
// windows where the parameter file says; nullptr: Qt's own choice. XAnswers is asked only
// then.
const char* ChoosePlatform(const DisplayOffer& offer);
// The offer of this process's environment; `platformOption`: -platform was given.
DisplayOffer OfferOfEnvironment(bool platformOption);

// Whether the window system tells where the program's windows are, so that their positions
// are worth keeping: not on Wayland (the compositor places them and says nothing), nor under
// an X window manager that does not say where its frames are (no _NET_FRAME_EXTENTS, as
// weston's). The parameter file then keeps the positions it was read with.
bool WindowPositionsKnown();

// Puts the corner of the window's frame at `frame` (screen coordinates). A window that
// is already shown but not yet framed asks the window manager to place its frame there
// (north-west gravity); nothing waits for the window manager.
void PlaceFrame(QWidget& w, QPoint frame);

// The geometries of the screens, in screen coordinates.
QList<QRect> ScreenRects();

// The corner of a window of `size` at `corner`: unchanged where the window overlaps a
// screen; a window wholly off every screen is moved the least distance that brings it
// onto the nearest screen (wholly, where it fits; its top-left corner to the screen's
// otherwise). Any int coordinates, also those too large for a QRect. No screens: unchanged.
QPoint OntoNearestScreen(QPoint corner, QSize size, const QList<QRect>& screens);

// A width a window can be shown with: at least one pixel and no wider than the screens
// together span (a wider window is never seen whole on any of them; the window system
// and Qt's buffers fail long before the largest integers).
bool ShowableWidth(int width, const QList<QRect>& screens);

// Asks the window manager for a border and a title bar without any buttons, and to offer
// no closing, minimising or maximising (Motif hints, on X11; nothing elsewhere). Managers
// that keep a close button anyway must be refused in the window's close handler.
void AskForTitleBarOnly(QWidget& w);

} // namespace myrl
