#include "serial/DeviceHolders.h"

#include "settings/Translation.h"

// The same on every system; who holds a device is the system's own question
// (DeviceHoldersPosix.cpp, DeviceHoldersWin32.cpp).
std::string DescribeHolders(const std::vector<CDeviceHolder>& holders) {
    std::string text;
    for (const CDeviceHolder& h : holders)
        text += (text.empty() ? "" : tx::Tr("DeviceHolders", "、")) +
                tx::Format(tx::Tr("DeviceHolders", "%1（进程号 %2）"), h.name, h.pid);
    return text;
}
