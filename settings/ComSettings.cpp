#include "settings/ComSettings.h"

#include "settings/ProfileFile.h"

ComSettings LoadComSection(const std::string& path) {
    ComSettings s;
    s.com = ReadProfileInt("Com", "com", 0, path);
    s.baunds = ReadProfileString("Com", "baunds", s.baunds, path);
    s.baund = ReadProfileString("Com", "baund", s.baund, path);
    s.port = ReadProfileString("Com", "port", std::string(), path);
    s.device = ReadProfileString("Com", "device", std::string(), path);
    return s;
}

void SaveComSection(const ComSection& section, const std::string& path) {
    if (section.writeBaund)
        WriteProfileString("Com", "baund", section.baund, path);
    WriteProfileString("Com", "com", section.com, path);
    WriteProfileString("Com", "baunds", section.baunds, path);
    WriteProfileString("Com", "port", section.port, path);
    if (!section.device.empty() || !ReadProfileString("Com", "device", std::string(), path).empty())
        WriteProfileString("Com", "device", section.device, path);
}
