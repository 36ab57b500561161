// Asks a top-level X window to close, as a window manager's close button does.
#pragma once

#include <string>

// Sends WM_DELETE_WINDOW to `window` on X display `display` (e.g. ":3")
// through a connection of its own. False when the display cannot be opened
// or the message cannot be sent.
bool SendDeleteWindow(const std::string& display, unsigned long window);
