// The simulated line the capture benchmarks run on: a pseudo-terminal behind
// COM9, and the port owner the engine finds, giving COM9 at the run's baud as
// the main window would.
#pragma once

#include <cstdio>
#include <string>

#include "serial/PortDevices.h"
#include "serial/PortOwner.h"
#include "tools/camsim/PseudoTerminal.h"

namespace bench {

constexpr int kPort = 9;

class BenchPortOwner : public CPortOwner {
public:
    explicit BenchPortOwner(long baud) : m_baud(std::to_string(baud)) {}

protected:
    int GetBaudSelection() override { return 1; }
    std::string GetBaudText() override { return m_baud; }
    int GetPortSelection() override { return 1; }
    std::string GetPortText() override { return "COM" + std::to_string(kPort); }
    void ShowPortMessage(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "port: %s\n", text.c_str());
    }

private:
    std::string m_baud;
};

// Undone on every way out.
struct Line {
    camsim::PseudoTerminal pty;
    BenchPortOwner owner;
    explicit Line(long baud) : owner(baud) {}
    bool Open() {
        std::string error;
        if (!pty.Open(&error)) {
            std::fprintf(stderr, "cannot open a pseudo-terminal: %s\n", error.c_str());
            return false;
        }
        SetPortDevicePath(kPort, pty.DevicePath());
        SetPortOwner(&owner);
        return true;
    }
    ~Line() {
        SetPortOwner(nullptr);
        owner.m_port.Close();
        SetPortDevicePath(kPort, "");
    }
};

}  // namespace bench
