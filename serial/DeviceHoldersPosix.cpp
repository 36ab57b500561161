#include "serial/DeviceHolders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

// Linux numbers the slaves of /dev/ptmx with the majors 136..143.
constexpr unsigned kPtySlaveMajor = 136;
constexpr unsigned kPtySlaveMajors = 8;

// The pseudo-terminal number of a slave device (/dev/pts/N gives N), or -1.
long PtyIndex(dev_t device) {
    const unsigned m = major(device);
    if (m < kPtySlaveMajor || m >= kPtySlaveMajor + kPtySlaveMajors)
        return -1;
    return static_cast<long>((m - kPtySlaveMajor) * 256 + minor(device));
}

// The pseudo-terminal number a /dev/ptmx descriptor stands for, as its
// fdinfo tells ("tty-index:"), or -1.
long MasterIndex(const std::string& fdinfo) {
    std::ifstream in(fdinfo);
    std::string line;
    const std::string key = "tty-index:";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

}  // namespace

std::vector<CDeviceHolder> FindDeviceHolders(const std::string& device) {
    std::vector<CDeviceHolder> holders;
    struct stat target {};
    if (stat(device.c_str(), &target) != 0 || !S_ISCHR(target.st_mode))
        return holders;
    const long ptyIndex = PtyIndex(target.st_rdev);
    const dev_t ptmx = makedev(5, 2);  // /dev/ptmx and /dev/pts/ptmx
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    if (!proc)
        return holders;
    const int self = static_cast<int>(getpid());
    while (const dirent* e = readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (end == e->d_name || *end != '\0' || pid == self)
            continue;
        const std::string base = "/proc/" + std::string(e->d_name);
        const std::string fdFolder = base + "/fd";
        const std::unique_ptr<DIR, int (*)(DIR*)> fds(opendir(fdFolder.c_str()), closedir);
        if (!fds)
            continue;  // gone, or not ours to see
        bool holds = false, master = false;
        while (const dirent* f = readdir(fds.get())) {
            struct stat st {};
            if (f->d_name[0] == '.' || stat((fdFolder + "/" + f->d_name).c_str(), &st) != 0 ||
                !S_ISCHR(st.st_mode))
                continue;
            if (st.st_rdev == target.st_rdev)
                holds = true;
            else if (ptyIndex >= 0 && st.st_rdev == ptmx &&
                     MasterIndex(base + "/fdinfo/" + f->d_name) == ptyIndex)
                master = true;
        }
        if (!holds)
            continue;
        CDeviceHolder h;
        h.pid = static_cast<int>(pid);
        h.boardSide = master;
        std::ifstream comm(base + "/comm");
        std::getline(comm, h.name);
        holders.push_back(h);
    }
    return holders;
}

std::vector<CDeviceHolder> FindCompetingHolders(const std::string& device) {
    std::vector<CDeviceHolder> holders = FindDeviceHolders(device);
    holders.erase(std::remove_if(holders.begin(), holders.end(),
                                 [](const CDeviceHolder& h) { return h.boardSide; }),
                  holders.end());
    return holders;
}
