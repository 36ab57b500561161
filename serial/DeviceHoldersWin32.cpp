// DeviceHolders on Windows: the system tells no one which program holds a COM
// port, so none are named (the reason line then says only that it is held).
#include "serial/DeviceHolders.h"

#include "settings/Translation.h"

std::vector<CDeviceHolder> FindDeviceHolders(const std::string&) {
    return {};
}

std::vector<CDeviceHolder> FindCompetingHolders(const std::string&) {
    return {};
}

std::string DescribeHolders(const std::vector<CDeviceHolder>& holders) {
    std::string text;
    for (const CDeviceHolder& h : holders)
        text += (text.empty() ? "" : tx::Tr("DeviceHolders", "、")) +
                tx::Format(tx::Tr("DeviceHolders", "%1（进程号 %2）"), h.name, h.pid);
    return text;
}
