// The state of the keyboard's lock keys, where the window system tells it.
#pragma once

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Fills `state` and returns true on an X11 display; false elsewhere (no
// display, another window system), leaving `state` as it was.
bool QueryLockKeyState(LockKeyState& state);
