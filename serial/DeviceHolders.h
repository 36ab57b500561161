// Which other processes hold a device open, as far as /proc shows them (all
// processes to root, one's own to everybody else).
#pragma once

#include <string>
#include <vector>

struct CDeviceHolder {
    int pid = 0;
    std::string name;  // the program's name (/proc/<pid>/comm)
    // It also holds the master of this pseudo-terminal: it is the board's
    // end of the line (the simulator, an emulator on `-serial pty`, socat, a
    // script with openpty), not a program that takes the board's bytes.
    bool boardSide = false;
};

// The processes other than this one with a descriptor on the character
// device `device` (any path to it: links, /dev/serial/by-id). Empty when
// there are none, or the device does not exist.
std::vector<CDeviceHolder> FindDeviceHolders(const std::string& device);

// The same without the board's end of a pseudo-terminal: the programs that
// compete with this one for the board's bytes.
std::vector<CDeviceHolder> FindCompetingHolders(const std::string& device);

// The holders for the user: "name（进程号 pid）", joined with "、".
std::string DescribeHolders(const std::vector<CDeviceHolder>& holders);
