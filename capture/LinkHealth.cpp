#include "capture/LinkHealth.h"

#include <cstdio>

#include "settings/Translation.h"

CLinkHealth CLinkHealth::From(const CLinkStatistics& before, const CLinkStatistics& now,
                              double seconds, int baud) {
    const bool restarted =
        now.bytesReceived < before.bytesReceived || now.framesDrawn < before.framesDrawn;
    const CLinkStatistics base = restarted ? CLinkStatistics() : before;
    double frames = 0, drawn = 0, bytes = 0;
    if (seconds > 0) {
        const auto rate = [seconds](uint64_t a, uint64_t b) {
            return b >= a ? static_cast<double>(b - a) / seconds : 0.0;
        };
        frames =
            rate(base.framesStarted + base.framesSkipped, now.framesStarted + now.framesSkipped);
        drawn = rate(base.framesDrawn, now.framesDrawn);
        bytes = rate(base.bytesReceived, now.bytesReceived);
    }
    return Of(now, frames, drawn, bytes, baud);
}

CLinkHealth CLinkHealth::Of(const CLinkStatistics& now, double framesPerSecond,
                            double drawnPerSecond, double bytesPerSecond, int baud) {
    CLinkHealth h;
    h.totals = now;
    h.framesPerSecond = framesPerSecond;
    h.drawnPerSecond = drawnPerSecond;
    h.bytesPerSecond = bytesPerSecond;
    if (baud > 0)
        h.lineShare = h.bytesPerSecond / (baud / 10.0);
    if (now.bytesReceived == 0)
        h.level = Level::Idle;
    else if (now.resyncs > 0 || now.suspectFrames > 0)
        h.level = Level::Red;
    else if (now.framesSkipped > 0)
        h.level = Level::Yellow;
    else
        h.level = Level::Green;
    return h;
}

std::string CLinkHealth::Text() const {
    const std::string kb = tx::Fixed(bytesPerSecond / 1024, 1);
    const std::string rate = lineShare > 0
                                 ? tx::Format(tx::Tr("CLinkHealth", "%1 KB/秒（线路的 %2%）"), kb,
                                              tx::Fixed(lineShare * 100, 0))
                                 : tx::Format(tx::Tr("CLinkHealth", "%1 KB/秒"), kb);
    return tx::Format(tx::Tr("CLinkHealth",
                             "链路：%1 帧/秒，显示 %2 帧/秒 · %3 · 共 %4 字节 %5 帧 · "
                             "跳过 %6 · 重同步 %7 · 可疑 %8 · 延迟 %9 ms"),
                      tx::Fixed(framesPerSecond, 1), tx::Fixed(drawnPerSecond, 1), rate,
                      totals.bytesReceived, totals.framesDrawn, totals.framesSkipped,
                      totals.resyncs, totals.suspectFrames,
                      tx::Fixed(totals.lastLatencyMicroseconds / 1000.0, 1));
}

std::string CLinkHealth::Explanation() {
    return tx::Tr("CLinkHealth",
                  "帧/秒：每秒收到的帧数（找到帧头的帧，以及为显示最新一帧而整帧跳过的帧），"
                  "按最近约 2 秒内的帧计算，帧很慢时至少按最近两帧。\n"
                  "显示帧/秒：每秒完整画到屏幕上的帧数，算法同上。\n"
                  "KB/秒：最近约 2 秒每秒从串口读到的数据量；括号里是占线路最大能力（波特率 / 10 "
                  "字节每秒）的比例。\n"
                  "共…字节…帧：本次采集开始以来收到的字节数和完整显示的帧数。\n"
                  "跳过：屏幕跟不上时为显示最新一帧而整帧跳过的帧，数据本身完好。\n"
                  "重同步：一帧之后的字节不是帧头的次数：丢了字节，或行数、列数、帧头设置不对。\n"
                  "可疑：因此可能已损坏的帧数。\n"
                  "延迟：最后一帧从收到最后一个字节到画完最后一行所用的时间。\n"
                  "颜色：绿色 = 每帧完整；黄色 = 有帧被跳过（屏幕跟不上，但数据完好）；"
                  "红色 = 有重同步或可疑帧（数据丢失或设置不对）。");
}
