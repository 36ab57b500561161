#include "serial/DeviceHolders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

std::vector<CDeviceHolder> FindDeviceHolders(const std::string& device) {
    std::vector<CDeviceHolder> holders;
    struct stat target {};
    if (stat(device.c_str(), &target) != 0 || !S_ISCHR(target.st_mode))
        return holders;
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    if (!proc)
        return holders;
    const int self = static_cast<int>(getpid());
    while (const dirent* e = readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (end == e->d_name || *end != '\0' || pid == self)
            continue;
        const std::string fdFolder = "/proc/" + std::string(e->d_name) + "/fd";
        const std::unique_ptr<DIR, int (*)(DIR*)> fds(opendir(fdFolder.c_str()), closedir);
        if (!fds)
            continue;  // gone, or not ours to see
        bool holds = false;
        while (const dirent* f = readdir(fds.get())) {
            struct stat st {};
            if (f->d_name[0] != '.' && stat((fdFolder + "/" + f->d_name).c_str(), &st) == 0 &&
                S_ISCHR(st.st_mode) && st.st_rdev == target.st_rdev) {
                holds = true;
                break;
            }
        }
        if (!holds)
            continue;
        CDeviceHolder h;
        h.pid = static_cast<int>(pid);
        std::ifstream comm("/proc/" + std::string(e->d_name) + "/comm");
        std::getline(comm, h.name);
        holders.push_back(h);
    }
    return holders;
}

std::string DescribeHolders(const std::vector<CDeviceHolder>& holders) {
    std::string text;
    for (const CDeviceHolder& h : holders)
        text += (text.empty() ? "" : "、") + h.name + "（进程号 " + std::to_string(h.pid) + "）";
    return text;
}
