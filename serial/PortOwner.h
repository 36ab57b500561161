// The owner of the program's one serial port: the main window derives from it.
// Buttons and capture engines open and close the port through it.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "serial/SerialPort.h"

// The user's port and baud choice as the window's two lists hold it. Index 0
// is a list's prompt, -1 means no entry is selected (for the baud list: the
// typed text is the choice).
struct CPortChoice {
    int baudSelection = 0;
    std::string baudText;  // the selected entry's text, or the typed text
    int portSelection = 0;
    std::string portText;  // such as "COM12"
    // A device file opened instead of the port number's (a replay, or a
    // device path the user typed).
    std::string device;
};

class CPortOwner {
public:
    CPortOwner();
    // The port is not closed here: an open port is released when the process ends.
    virtual ~CPortOwner();

    // Nonzero while the port is open.
    int IsPortOpen() const;
    // Opens the port with the user's current baud and port choice; on failure
    // shows one message and returns 0. Returns 1 when opened. User-interface
    // thread (the open button).
    int OpenPort();
    // The same with a choice taken earlier: a capture worker opens the port
    // with the choice its page had when the capture was started, so it never
    // waits for the user-interface thread.
    int OpenPort(const CPortChoice& choice);
    // Reads the choice from the window's lists. User-interface thread.
    CPortChoice CurrentChoice();
    // While a recording is replayed, every open goes to its pseudo-terminal
    // at the recording's baud rate instead of the lists' choice; an empty
    // path ends that. User-interface thread.
    void SetReplayDevice(const std::string& path, int baud);
    const std::string& ReplayDevice() const { return m_strReplayDevice; }
    // Closes the port. A running capture is not stopped: its next read fails.
    void ClosePort();
    // After a failed read: a port whose device is gone or failing is closed,
    // so that the next capture opens it afresh (the board may come back).
    void OnReadFailed();

    // 1 after a successful OpenPort, 0 at construction and after ClosePort.
    // Written by whichever thread opens or closes, read by the others.
    std::atomic<int> m_bPortOpen;
    SerialPort m_port;

protected:
    // The user's current choice, read from the window's two lists (see
    // CPortChoice). Called on the user-interface thread only.
    virtual int GetBaudSelection() = 0;
    // The selected entry's text, or the typed text when nothing is selected.
    virtual std::string GetBaudText() = 0;
    virtual int GetPortSelection() = 0;
    // The selected entry's name, such as "COM12".
    virtual std::string GetPortText() = 0;
    // The device path when the selected entry is one the user typed, else
    // empty (the port number's device is opened).
    virtual std::string GetPortDevice() { return std::string(); }
    // A message box owned by the window: OK button, no icon, this caption.
    // On the user-interface thread it returns when the user has closed it; on
    // any other thread it must not wait for the user-interface thread (the
    // window shows the box later).
    virtual void ShowPortMessage(const std::string& text, const std::string& caption) = 0;

private:
    std::string m_strReplayDevice;
    int m_nReplayBaud = 0;

    // Keeps the port's open and close, by the buttons and by the two pages'
    // workers, from interleaving. Held around nothing else: never while a
    // list is read or a message is shown.
    std::mutex m_openLock;
};

// The one port owner of the process (the main window), as the capture engines
// find it. Null until the window registers itself.
CPortOwner* GetPortOwner();
void SetPortOwner(CPortOwner* owner);
