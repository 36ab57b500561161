#include "serial/SerialPort.h"

#include "serial/PortDevices.h"

// What the port does the same on every system; opening, the line's settings,
// reading, writing and waiting are the system's own (SerialPortPosix.cpp,
// SerialPortWin32.cpp). m_fd is -1 when closed on both.

SerialPort::SerialPort() : m_hComm(0) {}

SerialPort::~SerialPort() = default;

intptr_t SerialPort::Open(uint32_t baud, int port) {
    return OpenDevice(baud, PortDevicePath(port));
}

int SerialPort::Configure(uint32_t baud) {
    std::lock_guard<std::mutex> lock(m_lock);
    return ConfigureLocked(baud);
}

int SerialPort::Close() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_fd == -1)
        return 0;
    CloseLocked();
    return 1;
}

int SerialPort::CloseIfBroken() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_fd == -1 || !m_bBroken)
        return 0;
    CloseLocked();
    return 1;
}
