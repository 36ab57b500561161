// The real main window during a continuous capture from the simulated board at
// a high baud rate: how quickly the user-interface thread answers, how often
// the picture is repainted, how the process's memory develops, and what the
// engine's link statistics show.
//
// A probe thread posts a timestamped call to the user-interface thread every
// 100 ms and samples the resident memory every second; an event filter counts
// the picture widget's paint events. Nothing is timed on the user-interface
// thread itself, so a stall shows up as late answers rather than as gaps.
//
// A grab thread copies the picture surface at random moments and counts the
// copies that show a whole picture (no row of the frame still in the
// background grey), and the CPU each thread took while streaming is read from
// /proc/self/task.
#include <dirent.h>
#include <pthread.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/Figures.h"
#include "pages/BlackPage.h"
#include "pages/ControlIds.h"
#include "serial/PortDevices.h"
#include "settings/PortsSection.h"
#include "shell/MainFrame.h"
#include "shell/TavixToolDoc.h"
#include "shell/TavixToolView.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/PseudoTerminal.h"
#include "ui/PictureView.h"

namespace {

using bench::Ms;
using bench::Percentile;

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kRows = 60;
constexpr int kColumns = 80;
constexpr int kPort = 9;
constexpr int kWarmUpSeconds = 5;
constexpr uint32_t kBackground = 0xF0F0F0;  // what the page's ClearPicture fills

double Max(const std::vector<double>& v) {
    return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
}

unsigned long long U(uint64_t v) {
    return v;
}

// The n-th (from 0) white-space separated field of a file under /proc.
std::string ProcField(const char* path, int n) {
    std::ifstream in(path);
    std::string field;
    for (int i = 0; i <= n; ++i)
        in >> field;
    return field;
}

double ResidentKiB() {
    return std::atof(ProcField("/proc/self/statm", 1).c_str()) *
           static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

// Least-squares slope of samples taken once a second, per minute.
double SlopePerMinute(const std::vector<double>& y) {
    const double n = static_cast<double>(y.size());
    double sx = 0, sy = 0, sxy = 0, sxx = 0;
    for (size_t i = 0; i < y.size(); ++i) {
        const double x = static_cast<double>(i);
        sx += x;
        sy += y[i];
        sxy += x * y[i];
        sxx += x * x;
    }
    const double d = n * sxx - sx * sx;
    return d > 0 ? 60.0 * (n * sxy - sx * sy) / d : 0;
}

// CPU seconds (user + system) per thread of this process, by thread id, with
// its name; and the process's total, threads already ended included.
struct ThreadTimes {
    std::map<long, std::pair<std::string, double>> threads;
    double total = 0;
};

double TicksToSeconds(const std::string& stat, size_t after) {
    // Fields after the name: state is field 3; utime and stime are 14 and 15.
    std::istringstream in(stat.substr(after));
    std::string field;
    double ticks = 0;
    for (int n = 3; n <= 15 && in >> field; ++n)
        if (n == 14 || n == 15)
            ticks += std::atof(field.c_str());
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

ThreadTimes ReadThreadTimes() {
    ThreadTimes t;
    auto read = [](const std::string& path, std::string& name, double& seconds) {
        std::ifstream in(path);
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            return false;
        name = stat.substr(open + 1, close - open - 1);
        seconds = TicksToSeconds(stat, close + 1);
        return true;
    };
    std::string name;
    read("/proc/self/stat", name, t.total);
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            double seconds = 0;
            if (read(std::string("/proc/self/task/") + e->d_name + "/stat", name, seconds))
                t.threads[std::atol(e->d_name)] = {name, seconds};
        }
        closedir(dir);
    }
    return t;
}

// Prints each thread's share of one core between two readings; threads that
// ended in between are summed in the total's remainder.
void PrintThreadCpu(const ThreadTimes& a, const ThreadTimes& b, double seconds,
                    const std::map<long, std::string>& roles) {
    double live = 0;
    std::printf("cpu per thread (%% of one core over %.1f s):", seconds);
    for (const auto& [tid, entry] : b.threads) {
        const auto before = a.threads.find(tid);
        const double used = entry.second - (before != a.threads.end() ? before->second.second : 0);
        live += used;
        if (used <= 0)
            continue;
        // The only other thread that keeps the program's name is the board's.
        const auto role = roles.find(tid);
        const auto main = b.threads.find(static_cast<long>(getpid()));
        const std::string name = role != roles.end() ? role->second
                                 : main != b.threads.end() && entry.first == main->second.first
                                     ? "board"
                                     : entry.first;
        std::printf(" %s %.1f%%;", name.c_str(), 100.0 * used / seconds);
    }
    std::printf(" ended threads %.1f%%; process %.1f%%\n",
                100.0 * std::max(0.0, b.total - a.total - live) / seconds,
                100.0 * (b.total - a.total) / seconds);
}

// Copies the picture surface at random moments (5 to 50 ms apart) and counts
// the copies in which every row of the frame's area is drawn: two
// neighbouring gradient pixels differ, so both grey means a row not drawn.
struct Grabber {
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> grabs{0}, whole{0};
    std::thread thread;

    void Start(const CPictureSurface& surface, int block) {
        thread = std::thread([this, &surface, block] {
            pthread_setname_np(pthread_self(), "grab");
            std::mt19937 random(12345);
            std::uniform_int_distribution<int> pause(5, 50);
            while (!stop) {
                std::this_thread::sleep_for(milliseconds(pause(random)));
                bool complete = true;
                surface.Read([&](const uint32_t* pixels, int width, int height) {
                    for (int r = 0; r < kRows && complete; ++r) {
                        const int y = r * block + block / 2, x = block / 2;
                        if (y >= height || x + block >= width)
                            break;
                        const uint32_t* line = pixels + static_cast<size_t>(y) * width;
                        complete = (line[x] & 0xFFFFFFu) != kBackground ||
                                   (line[x + block] & 0xFFFFFFu) != kBackground;
                    }
                });
                grabs.fetch_add(1);
                if (complete)
                    whole.fetch_add(1);
            }
        });
    }
    void Join() {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

// Handles events until `done` holds or the time is up; false on time-out.
template <typename Pred>
bool WaitFor(Pred done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

// Counts the picture widget's paint events, and those that find the frame on
// screen not yet drawn down to its last row: each frame start clears the
// picture to the background grey, and the rows come in after that.
class PaintCounter : public QObject {
public:
    PaintCounter(const CPictureSurface& surface, int block) : m_surface(surface), m_block(block) {}
    std::atomic<uint64_t> paints{0};
    uint64_t partial = 0;  // user-interface thread only

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Paint)
            return false;
        paints.fetch_add(1, std::memory_order_relaxed);
        // Two neighbouring gradient pixels differ, so both grey means cleared.
        const int y = (kRows - 1) * m_block;
        if (m_surface.PixelAt(0, y) == kBackground && m_surface.PixelAt(m_block, y) == kBackground)
            ++partial;
        return false;
    }
    const CPictureSurface& m_surface;
    const int m_block;
};

// The probe thread: every 100 ms a timestamped call to the user-interface
// thread, every second a paint count and (after the warm-up) a memory sample.
// The answer delays are written on the user-interface thread only.
struct Probe {
    QObject receiver;  // lives on the user-interface thread
    std::vector<double> answerMs, rssKiB, paintsPerSecond;
    std::atomic<uint64_t> posted{0};
    std::atomic<bool> stop{false};
    std::thread thread;

    void Start(const PaintCounter& counter) {
        thread = std::thread([this, &counter] {
            pthread_setname_np(pthread_self(), "probe");
            const Clock::time_point begin = Clock::now();
            uint64_t lastPaints = counter.paints.load();
            for (int tick = 1;; ++tick) {
                std::this_thread::sleep_until(begin + milliseconds(100) * tick);
                if (stop)
                    return;
                const Clock::time_point sent = Clock::now();
                posted.fetch_add(1);
                QMetaObject::invokeMethod(
                    &receiver, [this, sent] { answerMs.push_back(Ms(Clock::now() - sent)); },
                    Qt::QueuedConnection);
                if (tick % 10 != 0)
                    continue;
                const uint64_t paints = counter.paints.load();
                paintsPerSecond.push_back(static_cast<double>(paints - lastPaints));
                lastPaints = paints;
                if (tick >= kWarmUpSeconds * 10)
                    rssKiB.push_back(ResidentKiB());
            }
        });
    }
    void Join() {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

// Types digits into a line edit the way a keyboard does, so that the window
// sees an edit by the user (textEdited), not a change by the program.
void Type(QLineEdit* edit, const QString& digits) {
    edit->setFocus();
    edit->selectAll();
    for (const QChar c : digits) {
        const int key = Qt::Key_0 + c.digitValue();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QCoreApplication::sendEvent(edit, &release);
    }
}

int Fail(const char* what) {
    std::fprintf(stderr, "set-up failed: %s\n", what);
    return 1;
}

const char kHelp[] =
    "Usage: tavix-bench-window [--seconds S] [--baud B]\n"
    "Shows the main window and runs a continuous capture of 60 x 80 grayscale frames\n"
    "(picture enlarged) from the simulated board on COM9; reports the user-interface\n"
    "thread's answer time, the picture's paints, memory and the link statistics.\n"
    "  --seconds S   streaming time (default 60)\n"
    "  --baud B      line rate, typed into the baud field (default 3000000)\n";

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    long baud = 3000000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (arg == "--baud" && i + 1 < argc) {
            baud = std::atol(argv[++i]);
        } else {
            std::fputs(kHelp, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }
    if (!(seconds > 0) || baud <= 0) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    // COM9 is the board, through a link; every other port names a missing device.
    QTemporaryDir dir;
    camsim::PseudoTerminal line;
    std::string error;
    if (!dir.isValid() || !QDir().mkpath(dir.filePath("ports")))
        return Fail("no temporary folder");
    if (!line.Open(&error))
        return Fail(error.c_str());
    const std::string settings = dir.filePath("DevSet.ini").toStdString();
    {
        std::ofstream ini(settings);
        ini << "[Ports]\n";
        for (int n = 1; n <= 15; ++n)
            ini << "com" << n << "=" << dir.filePath("ports/com%1").arg(n).toStdString() << "\n";
    }
    if (!line.MakeLink(dir.filePath("ports/com%1").arg(kPort).toStdString(), &error))
        return Fail(error.c_str());
    SetPortDevicePaths(ReadPortsSection(settings));

    CTavixToolDoc document;
    auto frame = std::make_unique<CMainFrame>(&document, settings);
    frame->m_showMessage = [](const QString& text, const QString& caption) {
        std::fprintf(stderr, "message: %s: %s\n", qPrintable(caption), qPrintable(text));
    };
    if (!frame->Create())
        return Fail("the main window was not created");
    CTavixToolView* view = frame->GetActiveView();
    view->OnInitialUpdate();
    CBlackPage* page = view->m_pBlackPage;
    page->m_showWarning = [](const QString& text) {
        std::fprintf(stderr, "warning: %s\n", qPrintable(text));
    };
    // Without a window manager (a bare X server) maximizing does nothing: the
    // window is given the screen's size first.
    frame->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame->showMaximized();
    if (!WaitFor([&] { return frame->windowHandle() && frame->windowHandle()->isExposed(); }, 5000))
        return Fail("the main window was not exposed");

    Type(frame->m_wndBaudCombo->lineEdit(), QString::number(baud));
    frame->m_wndPortCombo->setCurrentIndex(
        frame->m_wndPortCombo->findText(QStringLiteral("COM%1").arg(kPort)));
    const CPortChoice choice = frame->CurrentChoice();
    if (choice.baudSelection != -1 || choice.baudText != std::to_string(baud) ||
        choice.portText != "COM" + std::to_string(kPort))
        return Fail("the baud rate or the port could not be chosen");

    view->ShowPage(CTavixToolView::kBlackPageId);
    auto* picture = page->findChild<CPictureView*>();
    auto* button = qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_CONTINUOUS));
    if (picture == nullptr || button == nullptr)
        return Fail("the page's picture or capture button is missing");
    qobject_cast<QLineEdit*>(page->Control(IDC_ROWS))->setText(QString::number(kRows));
    qobject_cast<QLineEdit*>(page->Control(IDC_COLUMNS))->setText(QString::number(kColumns));
    qobject_cast<QRadioButton*>(page->Control(IDC_SCALE_TO_AREA))->click();
    const QSize area = picture->size();
    const int block = std::min({area.width() / kColumns, area.height() / kRows, 255});
    PaintCounter counter(page->m_wndPicture, block);
    picture->installEventFilter(&counter);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf("platform %s, screen %dx%d, window %dx%d, picture area %dx%d (block %d)\n",
                qPrintable(QGuiApplication::platformName()), screen.width(), screen.height(),
                frame->width(), frame->height(), area.width(), area.height(), block);

    // Grayscale gradient frames; what the line cannot take is dropped.
    camsim::CameraBoard::Options options;
    options.rows = kRows;
    options.columns = kColumns;
    options.baud = baud;
    camsim::CameraBoard board(line, options);
    if (!board.Init(&error))
        return Fail(error.c_str());

    button->click();
    // The worker opens the port and purges it; the board begins after that.
    if (!WaitFor([&] { return frame->IsPortOpen() != 0; }, 3000))
        return Fail("the capture did not open the port");
    WaitFor([] { return false; }, 200);

    const std::string loadBefore = ProcField("/proc/loadavg", 0);
    // Named by role where the name alone cannot tell: the user-interface
    // thread is the process's first.
    std::map<long, std::string> roles{{static_cast<long>(getpid()), "user-interface"}};
    Grabber grabber;
    ThreadTimes cpuBefore, cpuAfter;
    Probe probe;
    counter.paints = 0;
    counter.partial = 0;
    double elapsed = 0;
    uint64_t paints = 0, partial = 0;
    CLinkStatistics link;
    camsim::CameraBoard::Statistics sent;
    const Clock::time_point begin = Clock::now();
    QEventLoop loop;
    QObject loop0;
    board.Start();
    probe.Start(counter);
    // The first frame needs its time on the line before a grab can find it whole.
    QTimer::singleShot(kWarmUpSeconds * 1000, &loop0, [&] {
        cpuBefore = ReadThreadTimes();
        grabber.Start(page->m_wndPicture, block);
    });
    // At the end the figures are taken and the board and the probe stop; the
    // loop runs a moment longer, so that probes already posted are answered.
    QTimer::singleShot(static_cast<int>(seconds * 1000), Qt::PreciseTimer, &loop, [&] {
        elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
        cpuAfter = ReadThreadTimes();
        grabber.Join();
        paints = counter.paints.load();
        partial = counter.partial;
        link = page->GetLinkStatistics();
        sent = board.Stats();
        probe.stop = true;
        board.Stop();
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
    });
    loop.exec();
    probe.Join();
    WaitFor([&] { return probe.answerMs.size() >= probe.posted; }, 5000);
    const std::string loadAfter = ProcField("/proc/loadavg", 0);

    // Stopping: the same button, then its caption comes back; then closing.
    QElapsedTimer stopTimer;
    stopTimer.start();
    button->click();
    const qint64 clickMs = stopTimer.elapsed();
    const bool stopped =
        WaitFor([&] { return button->text() == QStringLiteral("连续采集"); }, 5000);
    const qint64 stopMs = stopTimer.elapsed();
    picture->removeEventFilter(&counter);
    frame->close();
    frame.reset();
    SetPortDevicePath(kPort, "");

    const std::vector<double>& a = probe.answerMs;
    PrintThreadCpu(cpuBefore, cpuAfter, elapsed - kWarmUpSeconds, roles);
    std::printf("grabs of the picture: %llu, %llu show a whole picture (%.1f %%)\n",
                U(grabber.grabs.load()), U(grabber.whole.load()),
                grabber.grabs ? 100.0 * static_cast<double>(grabber.whole) /
                                    static_cast<double>(grabber.grabs)
                              : 0.0);
    const std::vector<double>& pps = probe.paintsPerSecond;
    const std::vector<double>& rss = probe.rssKiB;
    std::printf("baud %ld, %.1f s streamed, load average %s -> %s\n", baud, elapsed,
                loadBefore.c_str(), loadAfter.c_str());
    std::printf(
        "ui answer: %zu of %llu probes answered, median %.2f ms, p99 %.2f ms, max %.2f ms, "
        "%ld over 100 ms\n",
        a.size(), U(probe.posted.load()), Percentile(a, 0.5), Percentile(a, 0.99), Max(a),
        static_cast<long>(std::count_if(a.begin(), a.end(), [](double d) { return d > 100; })));
    std::printf(
        "picture paints: %llu, %.1f per second (per whole second: min %.0f, median %.0f, "
        "max %.0f); %llu found the last row not yet drawn\n",
        U(paints), static_cast<double>(paints) / elapsed,
        pps.empty() ? 0.0 : *std::min_element(pps.begin(), pps.end()), Percentile(pps, 0.5),
        Max(pps), U(partial));
    std::printf(
        "memory (RSS from %d s on, %zu samples): first %.0f KiB, last %.0f KiB, max %.0f KiB, "
        "slope %+.1f KiB/min\n",
        kWarmUpSeconds, rss.size(), rss.empty() ? 0.0 : rss.front(), rss.empty() ? 0.0 : rss.back(),
        Max(rss), SlopePerMinute(rss));
    std::printf(
        "link: bytes received %llu, frames started %llu, drawn %llu (%.1f per second), "
        "skipped %llu, resyncs %llu, suspect %llu, last latency %.1f ms\n",
        U(link.bytesReceived), U(link.framesStarted), U(link.framesDrawn),
        static_cast<double>(link.framesDrawn) / elapsed, U(link.framesSkipped), U(link.resyncs),
        U(link.suspectFrames), static_cast<double>(link.lastLatencyMicroseconds) / 1000.0);
    std::printf(
        "board: frames sent %llu (%.1f per second, line capacity %.1f), bytes sent %llu, "
        "dropped %llu\n",
        U(sent.framesSent), static_cast<double>(sent.framesSent) / elapsed,
        static_cast<double>(baud) / 10.0 / (kRows * kColumns + 1), U(sent.bytesSent),
        U(sent.bytesDropped));
    std::printf("stop: the click returned after %lld ms, the caption was back after %lld ms%s\n",
                static_cast<long long>(clickMs), static_cast<long long>(stopMs),
                stopped ? "" : " (NOT within 5 s)");
    return 0;
}
