// Which other processes hold a device open, as far as /proc shows them (all
// processes to root, one's own to everybody else).
#pragma once

#include <string>
#include <vector>

struct CDeviceHolder {
    int pid = 0;
    std::string name;  // the program's name (/proc/<pid>/comm)
};

// The processes other than this one with a descriptor on the character
// device `device` (any path to it: links, /dev/serial/by-id). Empty when
// there are none, or the device does not exist.
std::vector<CDeviceHolder> FindDeviceHolders(const std::string& device);

// The holders for the user: "name（进程号 pid）", joined with "、".
std::string DescribeHolders(const std::vector<CDeviceHolder>& holders);
