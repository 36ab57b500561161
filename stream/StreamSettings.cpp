#include "stream/StreamSettings.h"

#include "settings/ProfileFile.h"

namespace stream {

namespace {
const char kSection[] = "Stream";
const char kKey[] = "format";
}  // namespace

CStreamFormat ReadStreamFormat(const std::string& path, std::string* reason) {
    if (reason != nullptr)
        reason->clear();
    const std::string text = ReadProfileString(kSection, kKey, "", path);
    CStreamFormat format;
    if (text.empty())
        return format;
    std::string why;
    if (!FormatFromText(text, format, &why)) {
        if (reason != nullptr)
            *reason = "设置文件中的数据格式“" + text + "”无法识别（" + why + "），已使用默认格式";
        return CStreamFormat();
    }
    return format;
}

bool WriteStreamFormat(const CStreamFormat& format, const std::string& path) {
    return WriteProfileString(kSection, kKey, FormatToText(format), path);
}

}  // namespace stream
