// The owner of the program's one serial port: the main window derives from it.
// Buttons and capture engines open and close the port through it.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "serial/SerialPort.h"

// The numeric value of a text as the port and baud choices read it: leading
// white space skipped, an optional sign and the decimal digits after it; 0 when
// no digit follows. Out-of-range values saturate instead of overflowing.
int TextToNumber(const std::string& text);

class CPortOwner {
public:
    CPortOwner();
    // The port is not closed here: an open port is released when the process ends.
    virtual ~CPortOwner();

    // Nonzero while the port is open.
    int IsPortOpen() const;
    // Opens the port with the user's current baud and port choice; on failure
    // shows one message and returns 0. Returns 1 when opened.
    int OpenPort();
    // Closes the port. A running capture is not stopped: its next read fails.
    void ClosePort();

    // 1 after a successful OpenPort, 0 at construction and after ClosePort.
    // Written by whichever thread opens or closes, read by the others.
    std::atomic<int> m_bPortOpen;
    SerialPort m_port;

    // Runs the calls that other threads have queued for the owner's
    // user-interface thread; an engine's user-interface thread calls it while
    // it waits (see CCaptureBase::WakeAllWaiters). Nothing to do by default.
    virtual void RunPendingOwnerCalls() {}

protected:
    // The user's current choice, read from the window's two lists. Index 0 is the
    // list's prompt, -1 means no entry is selected (for the baud list: the typed
    // text is the choice). May be called from a capture worker's thread.
    virtual int GetBaudSelection() = 0;
    // The selected entry's text, or the typed text when nothing is selected.
    virtual std::string GetBaudText() = 0;
    virtual int GetPortSelection() = 0;
    // The selected entry's text, such as "COM12".
    virtual std::string GetPortText() = 0;
    // A message box owned by the window: OK button, no icon, this caption.
    // Returns when the user has closed it.
    virtual void ShowPortMessage(const std::string& text, const std::string& caption) = 0;

private:
    // Keeps the open and close operations of the buttons and of the two pages'
    // workers from interleaving.
    std::mutex m_openLock;
};

// The one port owner of the process (the main window), as the capture engines
// find it. Null until the window registers itself.
CPortOwner* GetPortOwner();
void SetPortOwner(CPortOwner* owner);
