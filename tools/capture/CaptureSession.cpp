#include "tools/capture/CaptureSession.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <thread>

#include "capture/FrameFiles.h"
#include "capture/PixelFormat.h"
#include "capture/RecordingReader.h"
#include "capture/RecordingWriter.h"
#include "capture/ReplayPlayer.h"
#include "capture/StreamDiagnosis.h"
#include "serial/PortDevices.h"
#include "settings/BlackSettings.h"
#include "settings/DataSection.h"
#include "settings/PortsSection.h"
#include "settings/SettingsPath.h"
#include "settings/Translation.h"
#include "stream/StreamSettings.h"
#include "tools/capture/CommandPortOwner.h"
#include "tools/capture/HeadlessPage.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kName = "tavix-capture";

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The folder a pattern's files go to exists.
bool FolderOf(const std::string& pattern, const char* option, std::string& error) {
    const std::filesystem::path path = std::filesystem::u8path(PatternName(pattern, 1));
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec))
        return true;
    error =
        tx::Format(tx::Tr("CCaptureSession", "%1 的文件夹 %2 不存在"), option, folder.u8string());
    return false;
}

}  // namespace

CCaptureSession::CCaptureSession(const CCaptureOptions& options, const std::atomic<bool>& stop)
    : m_o(options), m_stop(stop) {}

CCaptureSession::~CCaptureSession() {
    m_page.reset();
    SetPortOwner(nullptr);
}

int CCaptureSession::Resolve(std::string& error) {
    m_format = stream::CStreamFormat();
    if (m_o.settings) {
        const std::string path = m_o.settingsPath.empty() ? SettingsFilePath() : m_o.settingsPath;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec)) {
            error = tx::Format(tx::Tr("CCaptureSession", "设置文件 %1 不存在"), path);
            return kExitBadArguments;
        }
        SetPortDevicePaths(ReadPortsSection(path));
        m_header = ReadHeaderByte(path);
        std::string reason;
        m_format = stream::ReadStreamFormat(path, &reason);
        if (!reason.empty())
            std::fprintf(
                stderr, "%s: %s\n", kName,
                tx::Format(tx::Tr("CCaptureSession", "设置文件 %1：%2"), path, reason).c_str());
        const CBlackSettings black = CBlackSettings::Load(path);
        if (black.row > 0 && black.column > 0 && black.row <= 9999 && black.column <= 9999) {
            m_rows = uint32_t(black.row);
            m_columns = uint32_t(black.column);
        }
        if (black.threshold >= 0 && black.threshold <= 255)
            m_threshold = black.threshold;
    }
    m_isRecording = recording::IsRecordingFile(m_o.input);
    if (m_isRecording) {
        // A recording is read as it was recorded: its own settings.
        CRecordingReader reader;
        if (!reader.Open(m_o.input, error))
            return kExitPort;
        const RecordingHeader& h = reader.Header();
        m_baud = h.baud;
        m_header = h.headerByte;
        m_rows = h.rows;
        m_columns = h.columns;
        m_colourPage = h.format == recording::PixelFormat::Colour;
        m_format = stream::CStreamFormat();
        if (!h.streamFormat.empty() && !stream::FormatFromText(h.streamFormat, m_format)) {
            error = tx::Format(tx::Tr("CCaptureSession", "录制文件记下的数据格式读不懂：“%1”"),
                               h.streamFormat);
            return kExitPort;
        }
    }
    if (m_o.baud > 0)
        m_baud = m_o.baud;
    if (m_o.header >= 0)
        m_header = m_o.header;
    if (m_o.formatGiven) {
        m_format = m_o.format;
        // A preset's usual size unless one is given.
        const stream::CStreamPreset* preset = stream::PresetOf(m_format);
        if (preset != nullptr && preset->rows > 0 && m_o.rows == 0 && !m_isRecording) {
            m_rows = preset->rows;
            m_columns = preset->columns;
        }
    }
    if (m_o.rows > 0) {
        m_rows = m_o.rows;
        m_columns = m_o.columns;
    }
    if (m_o.thresholdGiven)
        m_threshold = m_o.threshold;
    if (!m_isRecording || m_o.formatGiven || m_o.colour)
        m_colourPage = m_format.IsDesignFormat() ? m_o.colour || (m_isRecording && m_colourPage)
                                                 : !stream::Info(m_format.encoding).gray;

    // What the files can hold, known before anything is read.
    const stream::Encoding encoding = m_format.encoding != stream::Encoding::Page
                                          ? m_format.encoding
                                      : m_colourPage ? stream::Encoding::Uyv
                                                     : stream::Encoding::Gray8;
    if (!m_o.out.empty()) {
        const framefile::Kind kind = framefile::KindOf(m_o.out);
        if (kind == framefile::Kind::Jpeg && !stream::Info(encoding).compressed) {
            error =
                tx::Format(tx::Tr("CCaptureSession",
                                  "--out .jpg 只用于 JPEG 数据流（帧原样保存）；这个格式的帧请存为 "
                                  ".png、%1 或 .raw"),
                           m_colourPage ? ".ppm" : ".pgm");
            return kExitBadArguments;
        }
        if (kind == framefile::Kind::Pgm && m_colourPage) {
            error = tx::Tr("CCaptureSession",
                           "--out .pgm 只用于黑白的帧；彩色的帧请存为 .ppm、.png 或 .raw");
            return kExitBadArguments;
        }
        if (!FolderOf(m_o.out, "--out", error))
            return kExitBadArguments;
    }
    if (!m_o.listing.empty() && !FolderOf(m_o.listing, "--listing", error))
        return kExitBadArguments;
    if (!m_o.record.empty() && !FolderOf(m_o.record, "--record", error))
        return kExitBadArguments;
    return kExitOk;
}

void CCaptureSession::OnFrame(const CFrameCopy& frame) {
    if (m_goal)
        return;  // taken enough: the capture is being stopped
    const uint64_t index = ++m_taken;
    m_lastFrameNs = NowNs();
    if (m_o.untilStable >= 0) {
        int channels = 1;
        std::vector<uint8_t> picture = framefile::Picture(frame, channels);
        if (m_havePrevious && picture.size() == m_previous.size()) {
            uint64_t differing = 0;
            for (size_t i = 0; i < picture.size(); i += size_t(channels))
                differing += std::memcmp(&picture[i], &m_previous[i], size_t(channels)) != 0;
            if (differing < uint64_t(m_o.untilStable))
                m_stable = true;
        }
        m_previous.swap(picture);
        m_havePrevious = true;
    }
    if (index == 1)
        m_suspectBefore = m_page->GetLinkStatistics().suspectFrames;
    CFrameOutput::Taken t;
    t.index = index;
    t.seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
    t.bytes = frame.bytes.size();
    t.latencyMicroseconds = frame.latencyMicroseconds;
    t.rows = frame.rows;
    t.columns = frame.columns;
    m_output.Push(t, m_output.NeedsFrames() ? std::make_shared<const CFrameCopy>(frame) : nullptr);
    if ((m_o.frames > 0 && index >= m_o.frames) || m_stable)
        m_goal = true;
}

std::string CCaptureSession::DiagnosisHint(SerialPort* port) const {
    std::vector<uint8_t> bytes;
    double seconds = 0;
    if (m_page)
        m_page->RecentBytes(bytes, seconds);
    CDiagnosisContext ctx;
    ctx.baud = m_baud;
    ctx.header = m_header;
    ctx.rows = m_rows;
    ctx.columns = m_columns;
    ctx.colour = m_colourPage ? 1 : 0;
    if (!m_format.IsDesignFormat()) {
        ctx.hasFormat = true;
        ctx.format = m_format;
    }
    // A capture that ended early may have seen too little for an answer:
    // the port is read on, as the window's diagnosis listens, until the
    // answer is sure, for at most 3 s more (1 s on a silent line).
    const auto start = Clock::now();
    std::vector<uint8_t> buffer(64 * 1024);
    while (port != nullptr) {
        const double more = std::chrono::duration<double>(Clock::now() - start).count();
        if (more >= 3 || (bytes.empty() && more >= 1))
            break;
        ctx.seconds = seconds + more;
        if (!bytes.empty() && Diagnose(bytes.data(), bytes.size(), ctx).confident)
            break;
        const auto until = Clock::now() + std::chrono::milliseconds(250);
        while (Clock::now() < until) {
            port->WaitForData(50, nullptr);
            uint32_t n = 0;
            if (port->ReadAvailable(buffer.data(), uint32_t(buffer.size()), n) != 0) {
                port = nullptr;
                break;
            }
            bytes.insert(bytes.end(), buffer.data(), buffer.data() + n);
        }
    }
    if (bytes.empty())
        return tx::Tr("CCaptureSession",
                      "线路上没有收到任何字节：板子在发送吗？请检查接线、电源和波特率");
    ctx.seconds = seconds + std::chrono::duration<double>(Clock::now() - start).count();
    const CDiagnosisReport report = Diagnose(bytes.data(), bytes.size(), ctx);
    return tx::Format(tx::Tr("CCaptureSession", "诊断（%1 字节）：%2"), bytes.size(),
                      report.verdictText);
}

void CCaptureSession::ShowProgress(std::FILE* err, bool last) {
    const auto now = Clock::now();
    if (!last && now - m_lastShown < std::chrono::milliseconds(250))
        return;
    m_lastShown = now;
    if (last) {
        std::fputs("\r\033[K", err);
        return;
    }
    const double elapsed = std::max(1e-3, std::chrono::duration<double>(now - m_start).count());
    const CLinkStatistics st = m_page->GetLinkStatistics();
    const double rate = double(st.bytesReceived) / elapsed;
    const std::string line = tx::Format(
        tx::Tr("CCaptureSession", "已采到 %1 帧  %2 帧/秒  %3 KB/秒  占线路 %4%"), m_taken.load(),
        tx::Fixed(double(m_taken.load()) / elapsed, 1), tx::Fixed(rate / 1000.0, 1),
        tx::Fixed(m_baud > 0 ? 100.0 * rate / (m_baud / 10.0) : 0.0, 0));
    std::fprintf(err, "\r%s   ", line.c_str());
    std::fflush(err);
}

int CCaptureSession::Run(std::FILE* out, std::FILE* err) {
    std::string error;
    if (const int code = Resolve(error); code != kExitOk) {
        std::fprintf(err, "%s: %s\n", kName, error.c_str());
        return code;
    }
    // A recording plays into a pseudo-terminal of its own, read as a port.
    CReplayPlayer player;
    std::string device = m_o.input;
    if (m_isRecording) {
        if (!player.Open(m_o.input, error)) {
            std::fprintf(err, "%s: %s\n", kName, error.c_str());
            return kExitPort;
        }
        device = player.DevicePath();
    }
    CCommandPortOwner owner(device, m_baud);
    SetPortOwner(&owner);
    if (owner.OpenPort() == 0) {
        std::fprintf(err, "%s: %s\n", kName, owner.Message().c_str());
        return kExitPort;
    }

    m_page = std::make_unique<CHeadlessPage>();
    CHeadlessPage& page = *m_page;
    page.m_byHeader = uint8_t(m_header);
    page.m_byFormat = m_colourPage ? pixel::kUyv : pixel::kGray;
    page.m_streamFormat = m_format;
    page.m_nRows = m_rows;
    page.m_nColumns = m_columns;
    page.m_nRowGap = page.m_nColumnGap = 0;
    page.m_nMode = 1;
    page.m_bShowImage = 1;
    page.m_bShowValues = 0;
    // One drawing pass per whole frame, 1:1 on an area the frame's size.
    page.m_bWholeFramesOnly = 1;
    // A script wants whole frames only: the first start is confirmed first.
    page.m_bConfirmFirstStart = 1;
    page.m_bScaleToArea = 0;
    page.m_nAreaWidth = int(m_columns);
    page.m_nAreaHeight = int(m_rows);
    page.m_wndPicture.Resize(int(m_columns), int(m_rows));
    page.m_onFrameDrawn = [this](const CFrameCopy& f) { OnFrame(f); };

    if (!m_o.record.empty()) {
        RecordingHeader header;
        header.baud = m_baud;
        header.headerByte = uint8_t(m_header);
        header.format =
            m_colourPage ? recording::PixelFormat::Colour : recording::PixelFormat::Grayscale;
        header.rows = m_rows;
        header.columns = m_columns;
        if (!m_format.IsDesignFormat())
            header.streamFormat = stream::FormatToText(m_format);
        auto writer = std::make_unique<CRecordingWriter>();
        if (!writer->Open(m_o.record, header, error)) {
            std::fprintf(err, "%s: %s\n", kName, error.c_str());
            return kExitBadArguments;
        }
        page.StartRecording(std::move(writer));
    }

    CFrameOutput::Settings settings;
    settings.out = m_o.out;
    settings.listing = m_o.listing;
    settings.threshold = m_threshold;
    settings.json = m_o.json;
    settings.jsonTo = out;
    m_output.Start(settings);

    const bool progress = isatty(fileno(err)) != 0;
    const uint64_t purges = owner.m_port.PurgeCount();
    m_start = Clock::now();
    m_lastFrameNs = NowNs();
    if (page.StartWorker() != 1) {
        std::fprintf(err, "%s: %s\n", kName, tx::Tr("CCaptureSession", "采集线程没能启动"));
        return kExitPort;
    }
    if (m_isRecording) {
        player.SetProgressProbe([&page] {
            const CLinkStatistics st = page.GetLinkStatistics();
            return st.framesDrawn + st.framesSkipped;
        });
        player.SetStartGate([&owner, purges] { return owner.m_port.PurgeCount() > purges; });
        player.Start(!m_o.paced);
    }

    bool interrupted = false, timedOut = false, endOfInput = false;
    int64_t finishedAt = 0;
    const int64_t timeoutNs = int64_t(m_o.timeout * 1e9);
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int64_t now = NowNs();
        if (m_stop) {
            interrupted = true;
            break;
        }
        if (m_goal || page.m_ended)
            break;
        if (m_o.seconds > 0 &&
            std::chrono::duration<double>(Clock::now() - m_start).count() >= m_o.seconds)
            break;
        if (now - m_lastFrameNs.load() > timeoutNs) {
            timedOut = true;
            break;
        }
        // A recording played to its end: what it held has been taken once
        // no frame has come for a while after its last byte.
        if (m_isRecording && player.GetProgress().finished) {
            if (finishedAt == 0)
                finishedAt = now;
            if (now - std::max(finishedAt, m_lastFrameNs.load()) > 1500000000) {
                endOfInput = true;
                break;
            }
        }
        if (progress)
            ShowProgress(err, false);
    }
    const bool endedByItself = page.m_ended && !m_goal;
    page.StopWorker();
    page.ShutdownEngine();
    m_goal = true;
    player.Stop();
    const CRecordingState recorded = page.StopRecording();
    m_output.Finish();
    if (progress)
        ShowProgress(err, true);

    const CLinkStatistics st = page.GetLinkStatistics();
    const uint64_t taken = m_taken;
    const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
    // Frames spoilt from the first one taken on; the search for the first
    // frame start is not counted against the capture.
    const uint64_t bad =
        st.suspectFrames - std::min(st.suspectFrames, m_suspectBefore.load()) + st.framesLost;

    int code = kExitOk;
    std::string why;
    if (endedByItself) {
        code = kExitPort;
        why = tx::Format(tx::Tr("CCaptureSession", "采集中断：%1（设备被拔掉或出错？）"),
                         page.LastStatus());
    } else if (!m_output.Error().empty()) {
        code = kExitPort;
        why = m_output.Error();
    } else if (m_output.Dropped() > 0) {
        code = kExitPort;
        why = tx::Format(tx::Tr("CCaptureSession", "写文件跟不上，%1 帧的文件没有写出"),
                         m_output.Dropped());
    } else if (recorded.failed) {
        code = kExitPort;
        why = tx::Format(tx::Tr("CCaptureSession", "录制失败：%1"), recorded.error);
    } else if (taken == 0) {
        code = kExitNoFrame;
        why = timedOut ? tx::Format(tx::Tr("CCaptureSession", "在 %1 秒内没有采到完整的帧"),
                                    int(m_o.timeout + 0.5))
                       : tx::Tr("CCaptureSession", "没有采到完整的帧");
    } else if (!interrupted && m_o.frames > 0 && taken < m_o.frames) {
        code = kExitNoFrame;
        why = tx::Format(
            endOfInput ? tx::Tr("CCaptureSession", "只采到 %1 帧，要 %2 帧（录制文件到头了）")
            : timedOut ? tx::Tr("CCaptureSession", "只采到 %1 帧，要 %2 帧（时限到了）")
                       : tx::Tr("CCaptureSession", "只采到 %1 帧，要 %2 帧"),
            taken, m_o.frames);
    } else if (!interrupted && m_o.untilStable >= 0 && !m_stable) {
        code = kExitNoFrame;
        why = tx::Tr("CCaptureSession", "画面在时限内没有稳定下来");
    } else if (bad > m_o.maxSuspect) {
        code = kExitSuspect;
        why = tx::Format(tx::Tr("CCaptureSession", "%1 帧可疑、%2 帧丢失，多于容许的 %3 帧"),
                         bad - st.framesLost, st.framesLost, m_o.maxSuspect);
    }

    if (m_o.json) {
        std::fprintf(out,
                     "{\"summary\":{\"exitCode\":%d,\"frames\":%llu,\"seconds\":%.3f,"
                     "\"bytesReceived\":%llu,\"framesStarted\":%llu,\"framesDrawn\":%llu,"
                     "\"framesSkipped\":%llu,\"resyncs\":%llu,\"suspectFrames\":%llu,"
                     "\"framesLost\":%llu,\"lastLatencyMs\":%.3f,\"filesWritten\":%llu,"
                     "\"interrupted\":%s}}\n",
                     code, static_cast<unsigned long long>(taken), seconds,
                     static_cast<unsigned long long>(st.bytesReceived),
                     static_cast<unsigned long long>(st.framesStarted),
                     static_cast<unsigned long long>(st.framesDrawn),
                     static_cast<unsigned long long>(st.framesSkipped),
                     static_cast<unsigned long long>(st.resyncs),
                     static_cast<unsigned long long>(st.suspectFrames),
                     static_cast<unsigned long long>(st.framesLost),
                     double(st.lastLatencyMicroseconds) / 1000.0,
                     static_cast<unsigned long long>(m_output.FilesWritten()),
                     interrupted ? "true" : "false");
    } else {
        const char* pattern =
            interrupted ? tx::Tr("CCaptureSession",
                                 "采到 %1 帧，用时 %2 秒；收到 %3 字节，跳过 %4 帧，可疑 %5 帧，"
                                 "丢失 %6 帧；写出 %7 个文件（被中断）")
                        : tx::Tr("CCaptureSession",
                                 "采到 %1 帧，用时 %2 秒；收到 %3 字节，跳过 %4 帧，可疑 %5 帧，"
                                 "丢失 %6 帧；写出 %7 个文件");
        std::fprintf(
            out, "%s\n",
            tx::Format(pattern, taken, tx::Fixed(seconds, 2), st.bytesReceived, st.framesSkipped,
                       st.suspectFrames, st.framesLost, m_output.FilesWritten())
                .c_str());
    }
    std::fflush(out);
    if (code != kExitOk) {
        std::fprintf(err, "%s: %s\n", kName, why.c_str());
        if (code == kExitNoFrame || code == kExitSuspect)
            std::fprintf(err, "%s: %s\n", kName,
                         DiagnosisHint(owner.IsPortOpen() ? &owner.m_port : nullptr).c_str());
    }
    return code;
}
