#include "stream/StreamSettings.h"

#include "settings/ProfileFile.h"
#include "settings/Translation.h"

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
            *reason = tx::Format(
                tx::Tr("StreamSettings", "设置文件中的数据格式“%1”无法识别（%2），已使用默认格式"),
                text, why);
        return CStreamFormat();
    }
    return format;
}

bool WriteStreamFormat(const CStreamFormat& format, const std::string& path) {
    return WriteProfileString(kSection, kKey, FormatToText(format), path);
}

}  // namespace stream
