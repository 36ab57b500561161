#include "tools/capture/CaptureOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "capture/FrameFiles.h"
#include "settings/Translation.h"
#include "tools/capture/PlatformHelp.h"

std::string CaptureHelp() {
    // The input lines and the examples differ by system (PlatformHelp*.cpp).
    std::string help =
        tx::Tr("CaptureOptions",
               "用法：tavix-capture 设备|COMn|录制文件 [选项]\n"
               "不开窗口采集摄像头板子的帧：与 TavixTool 窗口同一个采集引擎、同样的统计、\n"
               "同样的数据格式。给脚本、测试台和远程机器用。\n"
               "\n"
               "输入：\n");
    help += platformhelp::CaptureInput();
    help += tx::Tr("CaptureOptions",
                   "数据格式：\n"
                   "  --baud N            波特率（默认 115200；录制文件用它记下的）\n"
                   "  --format FORMAT     预设名（design、jpeg、arduino ……）或 custom,...，\n"
                   "                      与 tavix-camsim --format 相同（默认 design）\n"
                   "  --rows R --columns C  每帧的行数和列数（默认 60 × 80，或预设的常用尺寸；\n"
                   "                      尺寸来自数据流的格式不需要）\n"
                   "  --colour            单字节帧头格式的 U,Y,V 彩色数据\n"
                   "  --header N          单字节帧头的值，0～255（默认 255）\n"
                   "  --settings[=FILE]   读窗口的设置文件 DevSet.ini（或 FILE）：Ports 一节、\n"
                   "                      数据头、数据格式和黑白页面的行列；命令行给的优先。\n"
                   "                      设置文件从不写入\n"
                   "\n"
                   "采集多少：\n"
                   "  --frames N          采集 N 个完整的帧后结束（默认 1；0 表示不限）\n"
                   "  --seconds S         采集 S 秒后结束（不给 --frames 时帧数不限）\n"
                   "  --until-stable K    相邻两帧不同的像素少于 K 个时结束（画面稳定了）\n"
                   "  --timeout S         S 秒没有新的完整帧就结束（默认 10）\n"
                   "  --max-suspect K     容许 K 个可疑或丢失的帧（默认 0）\n"
                   "  --paced             录制文件按记下的速度重放（默认尽快）\n"
                   "\n"
                   "写出什么：\n"
                   "  --out PATTERN       每帧一个文件，如 frame-%04d.png；按后缀：.png、\n"
                   "                      .pgm（黑白）/.ppm（彩色）、.jpg（JPEG 数据流的帧，\n"
                   "                      原样）、.raw（收到的字节）。没有 %d 时只写最后一帧\n"
                   "  --record FILE       把收到的每个字节录成 TavixTool 录制文件\n"
                   "  --listing FILE      0/1 二值化列表（与窗口的黑白数据列表相同）；\n"
                   "                      有 %d 时每帧一个，否则最后一帧\n"
                   "  --threshold T       二值化阈值，0～255（默认 128）：大于 T 为 1\n"
                   "  --json              标准输出每帧一行 JSON（序号、时间、字节、延迟），\n"
                   "                      最后一行是链路统计\n"
                   "  --help              显示本说明\n"
                   "\n"
                   "标准错误是终端时显示进度（帧数、帧/秒、KB/秒、占线路的比例）。\n"
                   "Ctrl+C 或 SIGTERM 结束采集，已采到的照样写出，退出码按已采到的算。\n"
                   "\n"
                   "退出码：\n"
                   "  0  要的帧都完整地采到了\n"
                   "  1  命令行参数不对\n"
                   "  2  串口打不开（原因与窗口的提示相同：权限、被谁占用、不存在、波特率），\n"
                   "     或采集中设备不见了；录制文件读不出来；文件写不进去\n"
                   "  3  时限内没有采到（足够的）完整帧，或画面没有稳定；附一行诊断提示\n"
                   "  4  采到了帧，但可疑或丢失的帧多于 --max-suspect\n"
                   "\n"
                   "例子：\n");
    help += platformhelp::CaptureExamples();
    return help;
}

namespace {

bool Whole(const std::string& option, const std::string& text, uint64_t min, uint64_t max,
           uint64_t& value, std::string& error) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno == ERANGE || v < min || v > max) {
        error = tx::Format(tx::Tr("CaptureOptions", "%1 需要 %2～%3 的整数，而不是“%4”"), option,
                           min, max, text);
        return false;
    }
    value = v;
    return true;
}

bool Seconds(const std::string& option, const std::string& text, double& value,
             std::string& error) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v <= 0 || v > 86400) {
        error =
            tx::Format(tx::Tr("CaptureOptions", "%1 需要大于 0、不超过 86400 的秒数，而不是“%2”"),
                       option, text);
        return false;
    }
    value = v;
    return true;
}

}  // namespace

bool CheckPattern(const std::string& pattern, bool& numbered, std::string& error) {
    numbered = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < pattern.size() && j - i <= 3 && pattern[j] >= '0' && pattern[j] <= '9')
            ++j;
        if (j >= pattern.size() || pattern[j] != 'd' || numbered) {
            error =
                tx::Format(tx::Tr("CaptureOptions",
                                  "文件名“%1”里只能有一个 %d（可带宽度，如 %04d），百分号写成 %%"),
                           pattern);
            return false;
        }
        numbered = true;
        i = j;
    }
    return true;
}

std::string PatternName(const std::string& pattern, uint64_t index) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out.push_back(pattern[i]);
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        size_t j = i + 1;
        const bool zero = j < pattern.size() && pattern[j] == '0';
        int width = 0;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9')
            width = width * 10 + (pattern[j++] - '0');
        std::string number = std::to_string(index);
        if (int(number.size()) < width)
            number.insert(0, size_t(width) - number.size(), zero ? '0' : ' ');
        out += number;
        i = j;  // the 'd'
    }
    return out;
}

bool ParseCaptureOptions(int argc, char** argv, CCaptureOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string value;
        auto next = [&]() -> bool {
            if (i + 1 >= argc) {
                error = tx::Format(tx::Tr("CaptureOptions", "%1 后面缺少数值"), arg);
                return false;
            }
            value = argv[++i];
            return true;
        };
        uint64_t n = 0;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--baud") {
            if (!next() || !Whole(arg, value, 1, 100000000, n, error))
                return false;
            o.baud = uint32_t(n);
        } else if (arg == "--format") {
            if (!next())
                return false;
            std::string reason;
            if (const stream::CStreamPreset* preset = stream::FindPreset(value)) {
                o.format = preset->format;
            } else if (!stream::FormatFromText(value, o.format, &reason)) {
                error =
                    reason.empty()
                        ? tx::Format(tx::Tr("CaptureOptions",
                                            "--format 不认识“%1”（预设名见 tavix-camsim --help）"),
                                     value)
                        : tx::Format(
                              tx::Tr("CaptureOptions",
                                     "--format 不认识“%1”：%2（预设名见 tavix-camsim --help）"),
                              value, reason);
                return false;
            }
            o.formatGiven = true;
        } else if (arg == "--rows" || arg == "--columns") {
            if (!next() || !Whole(arg, value, 1, 9999, n, error))
                return false;
            (arg == "--rows" ? o.rows : o.columns) = uint32_t(n);
        } else if (arg == "--colour" || arg == "--color") {
            o.colour = true;
        } else if (arg == "--header") {
            if (!next() || !Whole(arg, value, 0, 255, n, error))
                return false;
            o.header = int(n);
        } else if (arg == "--frames") {
            if (!next() || !Whole(arg, value, 0, UINT32_MAX, n, error))
                return false;
            o.frames = n;
            o.framesGiven = true;
        } else if (arg == "--seconds") {
            if (!next() || !Seconds(arg, value, o.seconds, error))
                return false;
        } else if (arg == "--until-stable") {
            if (!next() || !Whole(arg, value, 1, UINT32_MAX, n, error))
                return false;
            o.untilStable = int64_t(n);
        } else if (arg == "--timeout") {
            if (!next() || !Seconds(arg, value, o.timeout, error))
                return false;
        } else if (arg == "--max-suspect") {
            if (!next() || !Whole(arg, value, 0, UINT32_MAX, n, error))
                return false;
            o.maxSuspect = n;
        } else if (arg == "--out" || arg == "--record" || arg == "--listing") {
            if (!next())
                return false;
            if (value.empty()) {
                error = tx::Format(tx::Tr("CaptureOptions", "%1 需要文件名"), arg);
                return false;
            }
            (arg == "--out" ? o.out : arg == "--record" ? o.record : o.listing) = value;
        } else if (arg == "--threshold") {
            if (!next() || !Whole(arg, value, 0, 255, n, error))
                return false;
            o.threshold = int(n);
            o.thresholdGiven = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--paced") {
            o.paced = true;
        } else if (arg == "--settings") {
            o.settings = true;
        } else if (arg.rfind("--settings=", 0) == 0) {
            o.settings = true;
            o.settingsPath = arg.substr(11);
            if (o.settingsPath.empty()) {
                error = tx::Tr("CaptureOptions", "--settings= 后面缺少文件名");
                return false;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            error = tx::Format(
                tx::Tr("CaptureOptions", "不认识的选项“%1”（见 tavix-capture --help）"), arg);
            return false;
        } else if (o.input.empty()) {
            o.input = arg;
        } else {
            error =
                tx::Format(tx::Tr("CaptureOptions", "只能给一个设备或录制文件，多出了“%1”"), arg);
            return false;
        }
    }
    if (o.help)
        return true;
    if (o.input.empty()) {
        error = tx::Tr("CaptureOptions", "缺少设备、COMn 或录制文件（见 tavix-capture --help）");
        return false;
    }
    if ((o.rows > 0) != (o.columns > 0)) {
        error = tx::Tr("CaptureOptions", "--rows 和 --columns 要一起给");
        return false;
    }
    if (o.colour && o.formatGiven && !o.format.IsDesignFormat()) {
        error = tx::Tr("CaptureOptions",
                       "--colour 只用于单字节帧头格式；其他格式的颜色由格式里的编码决定");
        return false;
    }
    // Seconds or stability alone take as many frames as come.
    if (!o.framesGiven && (o.seconds > 0 || o.untilStable >= 0))
        o.frames = 0;
    bool numbered = false;
    if (!o.out.empty()) {
        if (!CheckPattern(o.out, numbered, error))
            return false;
        if (framefile::KindOf(o.out) == framefile::Kind::Unknown) {
            error =
                tx::Format(tx::Tr("CaptureOptions",
                                  "--out 的文件名要以 .png、.pgm、.ppm、.jpg 或 .raw 结尾：“%1”"),
                           o.out);
            return false;
        }
    }
    if (!o.listing.empty() && !CheckPattern(o.listing, numbered, error))
        return false;
    return true;
}
