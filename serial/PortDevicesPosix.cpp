#include "serial/PortDevices.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

std::string DefaultPortDevicePath(int number) {
    if (number >= 1 && number <= 4)
        return "/dev/ttyS" + std::to_string(number - 1);
    if (number >= 5 && number <= 10)
        return "/dev/ttyUSB" + std::to_string(number - 5);
    if (number >= 11 && number <= 15)
        return "/dev/ttyACM" + std::to_string(number - 11);
    return std::string();
}

std::string DeviceIdentity(const std::string& path) {
    struct stat target {};
    if (path.empty() || stat(path.c_str(), &target) != 0)
        return std::string();
    const std::string folder = "/dev/serial/by-id/";
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (dir && S_ISCHR(target.st_mode)) {
        while (const dirent* e = readdir(dir.get())) {
            struct stat st {};
            if (e->d_name[0] != '.' && stat((folder + e->d_name).c_str(), &st) == 0 &&
                S_ISCHR(st.st_mode) && st.st_rdev == target.st_rdev)
                return folder + e->d_name;
        }
    }
    return path;
}
