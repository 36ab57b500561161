// The port owner of a command-line capture: the port and baud come from the
// command line instead of the window's lists, and the window's message about
// a port that does not open is kept for the standard error.
#pragma once

#include <mutex>
#include <string>

#include "serial/PortOwner.h"

class CCommandPortOwner : public CPortOwner {
public:
    // `input` is "COMn" (the port list's numbering) or a device path.
    CCommandPortOwner(const std::string& input, uint32_t baud);

    // The message the last failed open showed, as the window shows it.
    std::string Message() const;

protected:
    int GetBaudSelection() override { return 1; }
    std::string GetBaudText() override { return m_baud; }
    int GetPortSelection() override { return 1; }
    std::string GetPortText() override { return m_portName; }
    std::string GetPortDevice() override { return m_device; }
    void ShowPortMessage(const std::string& text, const std::string& caption) override;

private:
    std::string m_baud;
    std::string m_portName;  // "COMn", or the device's path
    std::string m_device;    // the device's path, or empty for COMn
    mutable std::mutex m_lock;
    std::string m_message;
};
