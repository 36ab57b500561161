#include "settings/PortsSection.h"

#include "settings/ProfileFile.h"

std::map<int, std::string> ReadPortsSection(const std::string& path) {
    std::map<int, std::string> devices;
    for (int n = 1; n <= 15; ++n) {
        std::string device =
            ReadProfileString("Ports", "com" + std::to_string(n), std::string(), path);
        if (!device.empty())
            devices.emplace(n, std::move(device));
    }
    return devices;
}
