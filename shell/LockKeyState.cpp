#include "shell/LockKeyState.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

// Xlib's macros (None, Bool, Status) clash with Qt's names: included last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

// The indicator's bit in the keyboard's indicator state, or -1.
int IndicatorIndex(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    int index = -1;
    if (atom == 0 || !XkbGetNamedIndicator(display, atom, &index, nullptr, nullptr, nullptr))
        return -1;
    return index;
}

bool IsOn(unsigned state, int index) {
    return index >= 0 && index < 32 && (state >> index & 1u) != 0;
}

}  // namespace

bool QueryLockKeyState(LockKeyState& state) {
#if QT_CONFIG(xcb)
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->display() == nullptr)
        return false;
    Display* display = x11->display();
    // Polled by the status bar: the indices are looked up once, then each
    // query is a single request to the server.
    static const int caps = IndicatorIndex(display, "Caps Lock");
    static const int num = IndicatorIndex(display, "Num Lock");
    static const int scroll = IndicatorIndex(display, "Scroll Lock");
    unsigned bits = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &bits) != Success)
        return false;
    state.caps = IsOn(bits, caps);
    state.num = IsOn(bits, num);
    state.scroll = IsOn(bits, scroll);
    return true;
#else
    (void)state;
    return false;
#endif
}
