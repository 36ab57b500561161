#include "DeleteWindow.h"

// Xlib's macros (None, Bool, Status) clash with Qt's names: kept apart here.
#include <X11/Xlib.h>

bool SendDeleteWindow(const std::string& display, unsigned long window) {
    ::Display* x = XOpenDisplay(display.c_str());
    if (x == nullptr)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const int sent = XSendEvent(x, window, False, NoEventMask, &event);
    XSync(x, False);
    XCloseDisplay(x);
    return sent != 0;
}
