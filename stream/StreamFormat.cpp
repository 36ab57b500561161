#include "stream/StreamFormat.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "settings/Translation.h"

namespace stream {

const char kCustomLabel[] = TX_NOOP("StreamFormat", "自定义");

const char* CustomLabel() {
    return tx::Tr("StreamFormat", kCustomLabel);
}

const char* PresetLabel(const CStreamPreset& preset) {
    return tx::Tr("StreamFormat", preset.label);
}

namespace {

constexpr size_t kMaxStartMarker = 8;
constexpr size_t kMaxEndMarker = 8;
constexpr size_t kMaxRequest = 64;
constexpr uint32_t kMinGap = 1;
constexpr uint32_t kMaxGap = 10000;

struct FramingName {
    Framing framing;
    const char* id;
    const char* label;
};

const FramingName kFramings[] = {
    {Framing::HeaderByte, "header", TX_NOOP("StreamFormat", "单字节帧头")},
    {Framing::Marker, "marker", TX_NOOP("StreamFormat", "起始标记（+ 结束标记）")},
    {Framing::Described, "described", TX_NOOP("StreamFormat", "自描述帧头（D5 AA 96 5A）")},
    {Framing::Packet, "packet", TX_NOOP("StreamFormat", "数据包（LiveOV7670）")},
    {Framing::Jpeg, "jpeg", TX_NOOP("StreamFormat", "JPEG 标记")},
    {Framing::Headerless, "headerless", TX_NOOP("StreamFormat", "无帧头")},
};
constexpr size_t kFramingCount = sizeof kFramings / sizeof kFramings[0];

CStreamFormat Make(Framing framing, Encoding encoding, std::vector<uint8_t> start = {},
                   std::vector<uint8_t> end = {}) {
    CStreamFormat format;
    format.framing = framing;
    format.encoding = encoding;
    format.startMarker = std::move(start);
    format.endMarker = std::move(end);
    return format;
}

std::vector<CStreamPreset> BuildPresets() {
    std::vector<CStreamPreset> presets;
    presets.push_back(
        {"design", TX_NOOP("StreamFormat", "单字节帧头（默认）"), CStreamFormat(), 0, 0});
    presets.push_back({"smartcar-gray", TX_NOOP("StreamFormat", "00 FF 01 01 + 灰度"),
                       Make(Framing::Marker, Encoding::Gray8, {0x00, 0xFF, 0x01, 0x01}), 120, 188});
    presets.push_back({"fe01-bits", TX_NOOP("StreamFormat", "01 FE … FE 01（1 位二值图）"),
                       Make(Framing::Marker, Encoding::Bits1, {0x01, 0xFE}, {0xFE, 0x01}), 60, 80});
    presets.push_back({"fe01-gray", TX_NOOP("StreamFormat", "01 FE … FE 01（0/255 灰度）"),
                       Make(Framing::Marker, Encoding::Gray8, {0x01, 0xFE}, {0xFE, 0x01}), 60, 80});
    CStreamFormat arduino = Make(Framing::Described, Encoding::Gray8);
    arduino.requestAtStart = {'R', 'R'};
    arduino.requestPerFrame = {'R'};
    presets.push_back(
        {"arduino", TX_NOOP("StreamFormat", "Arduino 相机串口流"), arduino, 240, 320});
    presets.push_back({"liveov7670", TX_NOOP("StreamFormat", "LiveOV7670 数据包"),
                       Make(Framing::Packet, Encoding::Rgb565Be), 120, 160});
    presets.push_back({"jpeg", TX_NOOP("StreamFormat", "JPEG（FF D8 … FF D9）"),
                       Make(Framing::Jpeg, Encoding::Jpeg), 240, 320});
    presets.push_back({"jpeg-gray", TX_NOOP("StreamFormat", "JPEG 灰度（FF D8 … FF D9）"),
                       Make(Framing::Jpeg, Encoding::JpegGray), 240, 320});
    CStreamFormat raw565 = Make(Framing::Headerless, Encoding::Rgb565Be);
    raw565.gapMilliseconds = 20;
    presets.push_back(
        {"raw565", TX_NOOP("StreamFormat", "RGB565 无帧头 320×240"), raw565, 240, 320});
    presets.push_back({"rdy-gray", TX_NOOP("StreamFormat", "*RDY* + 灰度 320×240"),
                       Make(Framing::Marker, Encoding::Gray8, {'*', 'R', 'D', 'Y', '*'}), 240,
                       320});
    CStreamFormat request = Make(Framing::Headerless, Encoding::Rgb565Be);
    request.requestPerFrame = {0x01};
    presets.push_back(
        {"request-565", TX_NOOP("StreamFormat", "请求一帧（01）+ RGB565"), request, 120, 160});
    return presets;
}

bool IsJpeg(Encoding encoding) {
    return encoding == Encoding::Jpeg || encoding == Encoding::JpegGray;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool Fail(std::string* reason, const std::string& why) {
    if (reason != nullptr)
        *reason = why;
    return false;
}

// Splits "a=1,b=\"x,y\"" at the commas outside double quotes.
bool SplitParts(const std::string& text, std::vector<std::string>& parts, std::string* reason) {
    std::string part;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '\\' && i + 1 < text.size()) {
            part += c;
            part += text[++i];
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (quoted)
        return Fail(reason, tx::Tr("StreamFormat", "引号没有配对"));
    parts.push_back(part);
    return true;
}

bool ParseNumber(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 9)
        return false;
    uint32_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    value = n;
    return true;
}

}  // namespace

const std::vector<CStreamPreset>& Presets() {
    static const std::vector<CStreamPreset> presets = BuildPresets();
    return presets;
}

const CStreamPreset* FindPreset(const std::string& id) {
    for (const CStreamPreset& preset : Presets()) {
        if (id == preset.id)
            return &preset;
    }
    return nullptr;
}

const CStreamPreset* PresetOf(const CStreamFormat& format) {
    for (const CStreamPreset& preset : Presets()) {
        if (preset.format == format)
            return &preset;
    }
    return nullptr;
}

const char* FramingId(Framing framing) {
    const auto i = static_cast<size_t>(framing);
    return i < kFramingCount ? kFramings[i].id : "";
}

const char* FramingLabel(Framing framing) {
    const auto i = static_cast<size_t>(framing);
    return i < kFramingCount ? tx::Tr("StreamFormat", kFramings[i].label) : "";
}

bool FramingFromId(const std::string& id, Framing& framing) {
    for (const FramingName& name : kFramings) {
        if (id == name.id) {
            framing = name.framing;
            return true;
        }
    }
    return false;
}

bool CStreamFormat::IsDesignFormat() const {
    return framing == Framing::HeaderByte && encoding == Encoding::Page && requestAtStart.empty() &&
           requestPerFrame.empty() && requestAtStop.empty();
}

bool CStreamFormat::Valid(std::string* reason) const {
    if (static_cast<size_t>(framing) >= kFramingCount)
        return Fail(reason, tx::Tr("StreamFormat", "未知的帧格式"));
    if (static_cast<int>(encoding) >= kEncodingCount)
        return Fail(reason, tx::Tr("StreamFormat", "未知的像素编码"));
    if (framing == Framing::Marker) {
        if (startMarker.empty() || startMarker.size() > kMaxStartMarker)
            return Fail(reason, tx::Tr("StreamFormat", "起始标记须为 1 到 8 个字节"));
        if (endMarker.size() > kMaxEndMarker)
            return Fail(reason, tx::Tr("StreamFormat", "结束标记最多 8 个字节"));
    }
    if (framing == Framing::Headerless && (gapMilliseconds < kMinGap || gapMilliseconds > kMaxGap))
        return Fail(reason, tx::Tr("StreamFormat", "帧间静默时间须在 1 到 10000 毫秒之间"));
    if (requestAtStart.size() > kMaxRequest || requestPerFrame.size() > kMaxRequest ||
        requestAtStop.size() > kMaxRequest)
        return Fail(reason, tx::Tr("StreamFormat", "发送给板子的字节每项最多 64 个"));
    if (IsJpeg(encoding) && framing != Framing::Jpeg)
        return Fail(reason, tx::Tr("StreamFormat", "JPEG 编码只能与 JPEG 标记帧格式一起使用"));
    if (framing == Framing::Jpeg && !IsJpeg(encoding))
        return Fail(reason, tx::Tr("StreamFormat", "JPEG 标记帧格式只能使用 JPEG 编码"));
    if (encoding == Encoding::Page && framing != Framing::HeaderByte)
        return Fail(reason, tx::Tr("StreamFormat", "“随页面”编码只能与单字节帧头一起使用"));
    if (reason != nullptr)
        reason->clear();
    return true;
}

// Parts a framing does not use (a marker of a headerless format, the gap of
// a marked one) do not make two formats differ.
bool CStreamFormat::operator==(const CStreamFormat& other) const {
    if (framing != other.framing || encoding != other.encoding ||
        requestAtStart != other.requestAtStart || requestPerFrame != other.requestPerFrame ||
        requestAtStop != other.requestAtStop)
        return false;
    if (framing == Framing::Marker)
        return startMarker == other.startMarker && endMarker == other.endMarker;
    if (framing == Framing::Headerless)
        return gapMilliseconds == other.gapMilliseconds;
    return true;
}

bool ParseBytes(const std::string& text, std::vector<uint8_t>& bytes, std::string* reason) {
    std::vector<uint8_t> out;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                char d = text[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d != '\\') {
                    out.push_back(static_cast<uint8_t>(d));
                    continue;
                }
                if (i >= n)
                    break;
                d = text[i++];
                switch (d) {
                    case 'r':
                        out.push_back('\r');
                        break;
                    case 'n':
                        out.push_back('\n');
                        break;
                    case 't':
                        out.push_back('\t');
                        break;
                    case '0':
                        out.push_back(0);
                        break;
                    case '\\':
                    case '"':
                    case '\'':
                        out.push_back(static_cast<uint8_t>(d));
                        break;
                    case 'x': {
                        int value = 0, digits = 0;
                        while (digits < 2 && i < n && HexDigit(text[i]) >= 0) {
                            value = value * 16 + HexDigit(text[i++]);
                            ++digits;
                        }
                        if (digits == 0)
                            return Fail(reason,
                                        tx::Tr("StreamFormat", "“\\x”后面须跟十六进制数字"));
                        out.push_back(static_cast<uint8_t>(value));
                        break;
                    }
                    default:
                        return Fail(reason,
                                    tx::Format(tx::Tr("StreamFormat", "不认识的转义“\\%1”"), d));
                }
            }
            if (!closed)
                return Fail(reason, tx::Tr("StreamFormat", "引号没有配对"));
        } else if (HexDigit(c) >= 0) {
            size_t end = i;
            while (end < n && HexDigit(text[end]) >= 0)
                ++end;
            if ((end - i) % 2 != 0)
                return Fail(reason,
                            tx::Format(tx::Tr("StreamFormat", "十六进制字节须两位一组：“%1”"),
                                       text.substr(i, end - i)));
            for (; i < end; i += 2)
                out.push_back(static_cast<uint8_t>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1])));
        } else {
            size_t end = std::min(n, i + 8);
            while (end < n && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
                ++end;  // whole UTF-8 characters only
            return Fail(reason, tx::Format(tx::Tr("StreamFormat",
                                                  "无法识别的字节：“%1”（应为十六进制字节如 00 "
                                                  "FF，或带引号的文字如 \"R\"）"),
                                           text.substr(i, end - i)));
        }
    }
    bytes = std::move(out);
    if (reason != nullptr)
        reason->clear();
    return true;
}

std::string BytesToHex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        if (i > 0)
            text += ' ';
        text += pair;
    }
    return text;
}

std::string FormatToText(const CStreamFormat& format) {
    if (const CStreamPreset* preset = PresetOf(format))
        return preset->id;
    std::string text = kCustomId;
    text += ",framing=";
    text += FramingId(format.framing);
    text += ",encoding=";
    text += Info(format.encoding).id;
    if (format.framing == Framing::Marker) {
        text += ",start=" + BytesToHex(format.startMarker);
        if (!format.endMarker.empty())
            text += ",end=" + BytesToHex(format.endMarker);
    }
    if (format.framing == Framing::Headerless)
        text += ",gap=" + std::to_string(format.gapMilliseconds);
    if (!format.requestAtStart.empty())
        text += ",request-start=" + BytesToHex(format.requestAtStart);
    if (!format.requestPerFrame.empty())
        text += ",request-frame=" + BytesToHex(format.requestPerFrame);
    if (!format.requestAtStop.empty())
        text += ",request-stop=" + BytesToHex(format.requestAtStop);
    return text;
}

bool FormatFromText(const std::string& text, CStreamFormat& format, std::string* reason) {
    const std::string trimmed = Trim(text);
    if (trimmed.empty())
        return Fail(reason, tx::Tr("StreamFormat", "数据格式为空"));
    std::vector<std::string> parts;
    if (!SplitParts(trimmed, parts, reason))
        return false;
    const std::string head = Lower(Trim(parts[0]));
    if (parts.size() == 1 && head != kCustomId) {
        const CStreamPreset* preset = FindPreset(head);
        if (preset == nullptr)
            return Fail(reason, tx::Format(tx::Tr("StreamFormat", "没有名为“%1”的预设格式"),
                                           Trim(parts[0])));
        format = preset->format;
        if (reason != nullptr)
            reason->clear();
        return true;
    }
    if (head != kCustomId)
        return Fail(reason,
                    tx::Format(tx::Tr("StreamFormat", "自定义格式须以“custom,”开头，而不是“%1”"),
                               Trim(parts[0])));

    CStreamFormat result;
    std::vector<std::string> seen;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string part = Trim(parts[i]);
        const size_t equals = part.find('=');
        if (equals == std::string::npos)
            return Fail(reason, tx::Format(tx::Tr("StreamFormat", "缺少“=”：“%1”"), part));
        const std::string key = Lower(Trim(part.substr(0, equals)));
        const std::string value = Trim(part.substr(equals + 1));
        for (const std::string& k : seen) {
            if (k == key)
                return Fail(reason, tx::Format(tx::Tr("StreamFormat", "“%1”出现了不止一次"), key));
        }
        seen.push_back(key);
        std::string why;
        if (key == "framing") {
            if (!FramingFromId(Lower(value), result.framing))
                return Fail(reason, tx::Format(tx::Tr("StreamFormat", "未知的帧格式“%1”"), value));
        } else if (key == "encoding") {
            if (!EncodingFromId(Lower(value), result.encoding))
                return Fail(reason,
                            tx::Format(tx::Tr("StreamFormat", "未知的像素编码“%1”"), value));
        } else if (key == "gap") {
            if (!ParseNumber(value, result.gapMilliseconds))
                return Fail(reason, tx::Format(tx::Tr("StreamFormat", "帧间静默时间不是数字：“%1”"),
                                               value));
        } else if (key == "start" || key == "end" || key == "request-start" ||
                   key == "request-frame" || key == "request-stop") {
            std::vector<uint8_t>& bytes = key == "start"           ? result.startMarker
                                          : key == "end"           ? result.endMarker
                                          : key == "request-start" ? result.requestAtStart
                                          : key == "request-frame" ? result.requestPerFrame
                                                                   : result.requestAtStop;
            if (!ParseBytes(value, bytes, &why))
                return Fail(reason,
                            tx::Format(tx::Tr("StreamFormat", "“%1”的值有误：%2"), key, why));
        } else {
            return Fail(reason, tx::Format(tx::Tr("StreamFormat", "未知的项“%1”"), key));
        }
    }
    std::string why;
    if (!result.Valid(&why))
        return Fail(reason, why);
    format = std::move(result);
    if (reason != nullptr)
        reason->clear();
    return true;
}

}  // namespace stream
