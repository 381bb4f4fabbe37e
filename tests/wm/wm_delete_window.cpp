// Asks the X client that owns a window to close it, as a window manager's close button does:
// a WM_DELETE_WINDOW message (ICCCM). For window managers that take no _NET_CLOSE_WINDOW
// request (weston's), so that wmctrl cannot ask them.
//
// usage: wm_delete_window WINDOW   (an id as xwininfo prints it: 0x400009)
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

} // namespace

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long window = argc == 2 ? std::strtoul(argv[1], &end, 0) : 0;
    if (window == 0 || *end != '\0') {
        std::fprintf(stderr, "usage: wm_delete_window WINDOW\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        std::fprintf(stderr, "wm_delete_window: cannot open the display\n");
        return 1;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = Atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = Atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_send_event_checked(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                                    reinterpret_cast<const char*>(&event)));
    const bool sent = error == nullptr;
    std::free(error);
    xcb_disconnect(c);
    return sent ? 0 : 1;
}
