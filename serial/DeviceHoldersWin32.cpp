// DeviceHolders on Windows: the system tells no one which program holds a COM
// port, so none are named (the reason line then says only that it is held).
#include "serial/DeviceHolders.h"

std::vector<CDeviceHolder> FindDeviceHolders(const std::string&) {
    return {};
}

std::vector<CDeviceHolder> FindCompetingHolders(const std::string&) {
    return {};
}
