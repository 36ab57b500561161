#include "shell/LockKeyState.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

// Xlib's macros (None, Bool, Status) clash with Qt's names: included last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

bool Indicator(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == 0)
        return false;
    int on = 0;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return false;
    return on != 0;
}

}  // namespace

bool QueryLockKeyState(LockKeyState& state) {
#if QT_CONFIG(xcb)
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->display() == nullptr)
        return false;
    Display* display = x11->display();
    state.caps = Indicator(display, "Caps Lock");
    state.num = Indicator(display, "Num Lock");
    state.scroll = Indicator(display, "Scroll Lock");
    return true;
#else
    (void)state;
    return false;
#endif
}
