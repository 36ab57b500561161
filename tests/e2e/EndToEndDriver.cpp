// End-to-end run of the real program: starts a private X server (Xvfb), the
// camera-board simulator and a copy of TavixTool, drives the main window with
// X input events from xdotool as a user would, and checks the captured
// picture on the screen pixel by pixel against the simulator's frame.
//
// Widget positions come from a mirror: an identical main window built in this
// process on the same X server (never shown on screen), with the same
// settings, resized to the real window's size. Before its positions are used
// the real window's pixels are compared with the mirror's, so different
// fonts, resolution or layout fail the run instead of sending clicks to the
// wrong place.
//
// Usage: EndToEndDriver --tavixtool PATH --camsim PATH --out DIR
// Exit code 0 when every check passed; the reason of a failure goes to stderr.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "DeleteWindow.h"
#include "capture/RecordingWriter.h"
#include "pages/BlackPage.h"
#include "pages/ControlIds.h"
#include "serial/PortDevices.h"
#include "settings/PortsSection.h"
#include "settings/ProfileFile.h"
#include "shell/MainFrame.h"
#include "shell/ReplayBar.h"
#include "shell/TavixToolDoc.h"
#include "shell/TavixToolView.h"
#include "tools/camsim/FrameSource.h"
#include "ui/TaskPanel.h"

namespace {

const QString kTitle = QStringLiteral("TAVIX飞思卡尔专营-摄像头测试工具");
const QString kBlackPageLink = QStringLiteral("黑白数据");
constexpr int kRows = 60;
constexpr int kColumns = 80;
constexpr int kBaud = 115200;
constexpr int kSimulatorPort = 15;  // COM15 in the port list
constexpr int kScreenWidth = 1600;
constexpr int kScreenHeight = 1200;
// The picture area's colour where no frame has been drawn.
constexpr QRgb kPictureBackground = 0xF0F0F0;

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const QString& message) {
    throw Failure(message.toStdString());
}

QElapsedTimer g_clock;

void Log(const QString& text) {
    std::fprintf(stderr, "[e2e %6.2f s] %s\n", g_clock.elapsed() / 1000.0, qPrintable(text));
}

// Runs this process's event loop for `ms` milliseconds.
void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Calls `done` every `stepMs` until it is true or `timeoutMs` have passed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs, int stepMs = 100) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (done())
            return true;
        if (timer.elapsed() >= timeoutMs)
            return false;
        Pump(stepMs);
    }
}

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(cannot read %1)").arg(path);
    return QString::fromUtf8(file.readAll()).trimmed();
}

// ---------------------------------------------------------------------------
// Processes

// The X server. It is forked before this process connects to any display, so
// it cannot use QProcess; it dies with this process (parent-death signal).
class XServer {
public:
    ~XServer() { Stop(); }

    // Starts Xvfb on a free display number taken at random from :100 to
    // :899, away from the numbers people and other runs usually take; its
    // output goes to logPath.
    void Start(const std::string& logPath) {
        std::mt19937 random(static_cast<unsigned>(getpid()) ^
                            static_cast<unsigned>(QDateTime::currentMSecsSinceEpoch()));
        std::uniform_int_distribution<int> numbers(100, 899);
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int number = numbers(random);
            const std::string n = std::to_string(number);
            if (access(("/tmp/.X11-unix/X" + n).c_str(), F_OK) == 0 ||
                access(("/tmp/.X" + n + "-lock").c_str(), F_OK) == 0)
                continue;
            if (TryStart(number, logPath)) {
                m_display = ":" + n;
                return;
            }
        }
        Fail(QStringLiteral("Xvfb did not start; its output:\n%1")
                 .arg(ReadText(QString::fromStdString(logPath))));
    }

    void Stop() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            usleep(100 * 1000);
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    const std::string& Display() const { return m_display; }

private:
    // True when Xvfb reports that it serves display :number.
    bool TryStart(int number, const std::string& logPath) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            Fail(QStringLiteral("pipe: %1").arg(std::strerror(errno)));
        const std::string display = ":" + std::to_string(number);
        const std::string fdText = std::to_string(fds[1]);
        const std::string screen =
            std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid < 0)
            Fail(QStringLiteral("fork: %1").arg(std::strerror(errno)));
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent)
                _exit(1);
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                dup2(log, STDOUT_FILENO);
                dup2(log, STDERR_FILENO);
            }
            fcntl(fds[1], F_SETFD, 0);  // the display number is written to it when ready
            execlp("Xvfb", "Xvfb", display.c_str(), "-displayfd", fdText.c_str(), "-screen", "0",
                   screen.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string answer;
        QElapsedTimer timer;
        timer.start();
        while (answer.find('\n') == std::string::npos && timer.elapsed() < 15000) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buf[32];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;  // Xvfb ended: the number was taken after all
            answer.append(buf, static_cast<size_t>(n));
        }
        close(fds[0]);
        if (QString::fromStdString(answer).trimmed() == QString::number(number))
            return true;
        Stop();
        return false;
    }

    pid_t m_pid = -1;
    std::string m_display;
};

// A program started for the run; stopped at the latest when the object goes,
// and killed by the system should this process die first.
class Child {
public:
    explicit Child(QString name) : m_name(std::move(name)) {}
    ~Child() { Stop(); }

    void Start(const QString& program, const QStringList& args, const QString& logPath,
               const QString& workingDirectory = QString()) {
        m_logPath = logPath;
        m_process.setProgram(program);
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(logPath);
        if (!workingDirectory.isEmpty())
            m_process.setWorkingDirectory(workingDirectory);
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start();
        if (!m_process.waitForStarted(10000))
            Fail(QStringLiteral("%1 (%2) could not be started: %3")
                     .arg(m_name, program, m_process.errorString()));
    }

    bool Running() const { return m_process.state() != QProcess::NotRunning; }
    qint64 Pid() const { return m_process.processId(); }
    bool WaitForExit(int ms) { return !Running() || m_process.waitForFinished(ms); }
    int ExitCode() const { return m_process.exitCode(); }
    bool Crashed() const { return m_process.exitStatus() != QProcess::NormalExit; }
    QString Output() const { return ReadText(m_logPath); }
    const QString& Name() const { return m_name; }

    // SIGTERM, then SIGKILL if it is still there after 3 s.
    void Stop() {
        if (!Running())
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

private:
    QString m_name;
    QString m_logPath;
    QProcess m_process;
};

// Runs xdotool with `args`; its standard output, or a failure.
QString Xdo(const QStringList& args, bool mustSucceed = true, bool* succeeded = nullptr) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForStarted(5000))
        Fail(QStringLiteral("xdotool could not be started: %1").arg(p.errorString()));
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(2000);
        Fail(QStringLiteral("xdotool %1 did not finish within 10 s").arg(args.join(' ')));
    }
    const bool ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (succeeded != nullptr)
        *succeeded = ok;
    if (!ok && mustSucceed)
        Fail(QStringLiteral("xdotool %1 failed (exit code %2): %3")
                 .arg(args.join(' '))
                 .arg(p.exitCode())
                 .arg(QString::fromLocal8Bit(p.readAllStandardError()).trimmed()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// ---------------------------------------------------------------------------
// Pictures

// The simulator's picture: a diagonal ramp with noise from a fixed seed, so
// that any shift, flip or transposition of the frame changes many pixels.
// No pixel is 255, the frame header: a capture that starts in the middle of
// a frame can only lock onto a real header.
std::vector<uint8_t> MakePicture() {
    std::mt19937 random(20240607u);
    std::uniform_int_distribution<int> noise(0, 54);
    std::vector<uint8_t> pixels(static_cast<size_t>(kRows) * kColumns);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            pixels[static_cast<size_t>(r) * kColumns + c] =
                static_cast<uint8_t>((r * 3 + c * 2) % 200 + noise(random));
    return pixels;
}

void WritePgm(const QString& path, const std::vector<uint8_t>& pixels) {
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << "P5\n" << kColumns << " " << kRows << "\n255\n";
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size()));
    if (!out)
        Fail(QStringLiteral("cannot write %1").arg(path));
}

QString Hex(QRgb rgb) {
    return QStringLiteral("#%1").arg(rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}

struct Difference {
    int count = 0;
    QString first;  // where the first one is and what it is
};

// Compares `rect` (window coordinates) of the real window's shot with the
// mirror's picture of itself.
Difference CompareRegion(const QImage& shot, const QImage& mirror, const QRect& rect) {
    Difference d;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb real = shot.pixel(x, y) & 0xFFFFFFu;
            const QRgb expected = mirror.pixel(x, y) & 0xFFFFFFu;
            if (real == expected)
                continue;
            if (d.count++ == 0)
                d.first = QStringLiteral("(%1,%2) is %3, the mirror has %4")
                              .arg(x)
                              .arg(y)
                              .arg(Hex(real), Hex(expected));
        }
    return d;
}

// Compares the kColumns x kRows picture at `origin` (window coordinates) of
// the shot with the frame's gray values.
Difference ComparePicture(const QImage& shot, const QPoint& origin,
                          const std::vector<uint8_t>& frame) {
    Difference d;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            const uint32_t v = frame[static_cast<size_t>(r) * kColumns + c];
            const QRgb expected = (v << 16) | (v << 8) | v;
            const QRgb real = shot.pixel(origin.x() + c, origin.y() + r) & 0xFFFFFFu;
            if (real == expected)
                continue;
            if (d.count++ == 0)
                d.first = QStringLiteral("row %1 column %2 is %3, the frame has %4")
                              .arg(r)
                              .arg(c)
                              .arg(Hex(real), Hex(expected));
        }
    return d;
}

void Save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG"))
        Log(QStringLiteral("saved %1").arg(path));
    else
        Log(QStringLiteral("could not save %1").arg(path));
}

// ---------------------------------------------------------------------------
// The run

// A part of the window, named for messages.
struct Region {
    QString name;
    QRect rect;  // window coordinates
};

struct Options {
    QString tavixTool;
    QString camsim;
    QString out;
};

class EndToEnd {
public:
    EndToEnd(const Options& options, const QString& display, const QString& dir)
        : m_options(options), m_display(display), m_dir(dir) {}

    ~EndToEnd() {
        // The program first, while the mirror and the X connection still exist.
        m_app.Stop();
        m_simulator.Stop();
        m_mirror.reset();
    }

    void Run() {
        Prepare();
        StartSimulator();
        BuildMirror();
        StartProgram();
        CheckStartScreen();
        ShowGrayscalePage();
        EnterSettings();
        Capture();
        SaveFrame();
        Diagnose();
        CloseProgram();
        Replay();
    }

private:
    // The program's directory: a copy of the executable and its settings file.
    void Prepare() {
        m_appDir = m_dir + "/app";
        m_mirrorDir = m_dir + "/mirror";
        QDir().mkpath(m_appDir);
        QDir().mkpath(m_mirrorDir);
        m_link = m_dir + "/cam0";
        m_settings = m_appDir + "/DevSet.ini";
        const QString ini = QStringLiteral("[Ports]\ncom%1=%2\n").arg(kSimulatorPort).arg(m_link);
        for (const QString& path : {m_settings, m_mirrorDir + "/DevSet.ini"}) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(ini.toUtf8()) < 0)
                Fail(QStringLiteral("cannot write %1").arg(path));
        }
        m_appCopy = m_appDir + "/TavixTool";
        if (!QFile::copy(m_options.tavixTool, m_appCopy))
            Fail(QStringLiteral("cannot copy %1 to %2").arg(m_options.tavixTool, m_appCopy));
        QFile::setPermissions(m_appCopy, QFile::permissions(m_options.tavixTool) |
                                             QFileDevice::ExeOwner | QFileDevice::ReadOwner);

        m_picture = m_dir + "/picture.pgm";
        WritePgm(m_picture, MakePicture());
        std::string error;
        const auto source =
            camsim::FrameSource::FromFile(m_picture.toStdString(), kRows, kColumns, false, &error);
        if (!source)
            Fail(QStringLiteral("the simulator's picture: %1").arg(QString::fromStdString(error)));
        m_frame = source->Frame(0);
        if (m_frame.size() != static_cast<size_t>(kRows) * kColumns)
            Fail(QStringLiteral("the simulator's frame has %1 bytes").arg(m_frame.size()));
        for (uint8_t v : m_frame)
            if (v == 255)
                Fail(QStringLiteral("the simulator's picture holds the header byte 255"));
        if (source->Frame(1) != m_frame)
            Fail(QStringLiteral("the simulator's picture changes from frame to frame"));
    }

    void StartSimulator() {
        m_simulator.Start(m_options.camsim,
                          {"--rows", QString::number(kRows), "--columns", QString::number(kColumns),
                           "--baud", QString::number(kBaud), "--file", m_picture, "--link", m_link},
                          m_dir + "/camsim.log");
        if (!WaitFor([&] { return QFileInfo(m_link).exists() || !m_simulator.Running(); }, 10000,
                     50) ||
            !m_simulator.Running())
            Fail(QStringLiteral("the simulator made no link %1; its output:\n%2")
                     .arg(m_link, m_simulator.Output()));
        Log(QStringLiteral("simulator on %1").arg(m_link));
    }

    // The mirror probes the ports once, now, before the program holds any.
    void BuildMirror() {
        const std::string ini = (m_mirrorDir + "/DevSet.ini").toStdString();
        SetPortDevicePaths(ReadPortsSection(ini));
        m_document.OnNewDocument();
        m_mirror = std::make_unique<CMainFrame>(&m_document, ini);
        m_mirror->setAttribute(Qt::WA_DontShowOnScreen);
        m_mirror->m_showMessage = [](const QString& text, const QString& caption) {
            Log(QStringLiteral("mirror message: %1: %2").arg(caption, text));
        };
        if (!m_mirror->Create())
            Fail(QStringLiteral("the mirror window could not be created"));
        m_mirror->GetActiveView()->OnInitialUpdate();
        m_mirror->GetActiveView()->m_pBlackPage->m_showWarning = [](const QString& text) {
            Log(QStringLiteral("mirror warning: %1").arg(text));
        };
        m_mirror->show();
        QStringList ports;
        for (int i = 0; i < m_mirror->m_wndPortCombo->count(); ++i)
            ports << m_mirror->m_wndPortCombo->itemText(i);
        m_portIndex = ports.indexOf(QStringLiteral("COM%1").arg(kSimulatorPort));
        if (m_portIndex < 0)
            Fail(QStringLiteral("COM%1 is not among the ports found: %2")
                     .arg(kSimulatorPort)
                     .arg(ports.join(", ")));
        // Chosen below with End: it must be the last entry.
        if (m_portIndex != ports.size() - 1)
            Fail(QStringLiteral("COM%1 is not the last port: %2")
                     .arg(kSimulatorPort)
                     .arg(ports.join(", ")));
        Log(QStringLiteral("ports: %1").arg(ports.join(", ")));
    }

    void StartProgram(const QStringList& args = {}, const QString& log = "/tavixtool.log") {
        m_app.Start(m_appCopy, args, m_dir + log, m_appDir);
        // Its main window: the visible window of its process with the title.
        QStringList seen;
        const bool found = WaitFor(
            [&] {
                if (!m_app.Running())
                    return true;
                bool ok = false;
                const QString ids = Xdo(
                    {"search", "--onlyvisible", "--pid", QString::number(m_app.Pid())}, false, &ok);
                seen.clear();
                for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
                    const QString name = Xdo({"getwindowname", id}).trimmed();
                    seen << QStringLiteral("%1 \"%2\"").arg(id, name);
                    if (name == kTitle) {
                        m_window = id.toULong();
                        return true;
                    }
                }
                return false;
            },
            15000, 200);
        if (!m_app.Running())
            Fail(QStringLiteral("TavixTool ended at start (exit code %1); its output:\n%2")
                     .arg(m_app.ExitCode())
                     .arg(m_app.Output()));
        if (!found)
            Fail(QStringLiteral("no window titled \"%1\" appeared within 15 s; visible windows of "
                                "TavixTool: %2")
                     .arg(kTitle, seen.isEmpty() ? QStringLiteral("none") : seen.join(", ")));
        ReadGeometry();
        // Keyboard input goes to the window with the X input focus.
        Xdo({"windowfocus", "--sync", QString::number(m_window)});
    }

    // Before its positions are used: the navigation panel and the serial
    // settings bar look the same on the screen as in the mirror, at the size
    // the program chose and again at the size of the screen.
    void CheckStartScreen() {
        MovePointerAway();
        ExpectSame(StartRegions(), 10000, "e2e-start.png");
        // There is no window manager to carry out the program's request for a
        // maximized window; it is given the screen, as one would. At its own
        // size the page's controls would lie beyond the window's right edge.
        Xdo({"windowsize", "--sync", QString::number(m_window), QString::number(kScreenWidth),
             QString::number(kScreenHeight)});
        ReadGeometry();
        MovePointerAway();
        ExpectSame(StartRegions(), 10000, QString());
    }

    std::vector<Region> StartRegions() const {
        return {{"the navigation panel", RectOf(m_mirror->m_wndTaskPanel)},
                {"the serial settings bar", RectOf(m_mirror->m_wndSerialBar)},
                {"the status bar", RectOf(m_mirror->m_wndMessage)}};
    }

    // The window's place and size on the screen; the mirror takes the size.
    void ReadGeometry() {
        const QString geometry = Xdo({"getwindowgeometry", "--shell", QString::number(m_window)});
        QHash<QString, int> values;
        for (const QString& line : geometry.split('\n', Qt::SkipEmptyParts)) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                values[line.left(eq)] = line.mid(eq + 1).toInt();
        }
        m_windowRect = QRect(values.value("X"), values.value("Y"), values.value("WIDTH"),
                             values.value("HEIGHT"));
        Log(QStringLiteral("window %1 at %2,%3 size %4x%5")
                .arg(m_window)
                .arg(m_windowRect.x())
                .arg(m_windowRect.y())
                .arg(m_windowRect.width())
                .arg(m_windowRect.height()));
        if (m_windowRect.width() < 200 || m_windowRect.height() < 200 ||
            !QRect(0, 0, kScreenWidth, kScreenHeight).contains(m_windowRect))
            Fail(QStringLiteral("the window's geometry is unusable"));
        m_mirror->resize(m_windowRect.size());
        Pump(100);
        if (m_mirror->size() != m_windowRect.size())
            Fail(QStringLiteral("the mirror cannot take the window's size: %1x%2")
                     .arg(m_mirror->width())
                     .arg(m_mirror->height()));
    }

    void ShowGrayscalePage() {
        QWidget* link = m_mirror->m_wndTaskPanel->Item(CTavixToolView::kBlackPageId);
        auto* button = qobject_cast<QPushButton*>(link);
        if (button == nullptr || button->text() != kBlackPageLink)
            Fail(QStringLiteral("the mirror's navigation item %1 is not the link \"%2\"")
                     .arg(CTavixToolView::kBlackPageId)
                     .arg(kBlackPageLink));
        Click(link, "the link 黑白数据");
        button->click();  // the mirror follows
        Pump(100);
        CBlackPage* page = Page();
        if (!page->isVisible())
            Fail(QStringLiteral("the mirror's grayscale page did not appear"));
        MovePointerAway();
        // The page's state label and its size boxes (still empty) are where
        // the mirror has them.
        ExpectSame({{"the grayscale page's state line", ControlRect(IDC_STATUS)},
                    {"the rows box", ControlRect(IDC_ROWS)},
                    {"the columns box", ControlRect(IDC_COLUMNS)},
                    {"the capture button", ControlRect(IDC_CAPTURE_ONE)}},
                   5000, QString());
    }

    void EnterSettings() {
        // The baud rate: typed into the editable list's field.
        QLineEdit* baudField = m_mirror->m_wndBaudCombo->lineEdit();
        Click(baudField, "the baud rate field");
        Key("ctrl+a");
        Type(QString::number(kBaud));
        baudField->setText(QString::number(kBaud));

        // The port: the dropped list, End for its last entry, Return.
        Click(m_mirror->m_wndPortCombo, "the port list");
        if (!WaitFor([&] { return VisibleWindows() >= 2; }, 5000))
            Fail(QStringLiteral("the port list did not drop down"));
        Key("End");
        Key("Return");
        if (!WaitFor([&] { return VisibleWindows() == 1; }, 5000))
            Fail(QStringLiteral("the port list did not close"));
        m_mirror->m_wndPortCombo->setCurrentIndex(m_portIndex);

        // The image size.
        TypeInto(IDC_ROWS, "the rows box", QString::number(kRows));
        TypeInto(IDC_COLUMNS, "the columns box", QString::number(kColumns));

        // What was typed and chosen shows where the mirror has it; the
        // columns box still has the focus and its text cursor.
        MovePointerAway();
        ExpectSame({{"the baud rate list", RectOf(m_mirror->m_wndBaudCombo)},
                    {"the port list", RectOf(m_mirror->m_wndPortCombo)},
                    {"the rows box", ControlRect(IDC_ROWS)}},
                   5000, QString());
    }

    void Capture() {
        CBlackPage* page = Page();
        QWidget* picture = page->Control(IDC_PICTURE);
        if (picture == nullptr)
            Fail(QStringLiteral("the mirror's page has no picture control"));
        const QPoint origin = picture->mapTo(m_mirror.get(), QPoint(0, 0));
        // The part of the picture control the view shows.
        QWidget* viewport = m_mirror->GetActiveView()->viewport();
        const QRect visible = RectOf(picture) & RectOf(viewport) & m_mirror->rect();
        if (!visible.contains(QRect(origin, QSize(kColumns, kRows))))
            Fail(QStringLiteral("the picture's first %1x%2 pixels are not visible in the window")
                     .arg(kColumns)
                     .arg(kRows));
        Log(QStringLiteral("picture control at %1,%2 in the window, %3x%4 of it visible")
                .arg(origin.x())
                .arg(origin.y())
                .arg(visible.width())
                .arg(visible.height()));

        Click(page->Control(IDC_CAPTURE_ONE), "the button 采集一幅图");
        MovePointerAway();

        // The capture has ended when the boxes are enabled again, the button
        // shows its idle caption and the state line its welcome text, as in the
        // mirror (which does not capture).
        const std::vector<Region> idle = {{"the rows box", ControlRect(IDC_ROWS)},
                                          {"the columns box", ControlRect(IDC_COLUMNS)},
                                          {"the state line", ControlRect(IDC_STATUS)},
                                          {"the capture button", ControlRect(IDC_CAPTURE_ONE)}};
        const QImage mirror = MirrorImage();
        QImage shot;
        Difference pictureDiff;
        QString idleDiff;
        const bool done = WaitFor(
            [&] {
                shot = Shot();
                pictureDiff = ComparePicture(shot, origin, m_frame);
                idleDiff = Differences(shot, mirror, idle);
                return pictureDiff.count == 0 && idleDiff.isEmpty();
            },
            20000, 200);
        Save(shot, m_options.out + "/e2e-capture.png");
        if (!done) {
            Save(mirror, m_options.out + "/e2e-mirror.png");
            QString text = QStringLiteral(
                "the capture did not end with the frame on the screen "
                "within 20 s:");
            if (pictureDiff.count > 0)
                text += QStringLiteral("\n  %1 of %2 picture pixels differ; first: %3")
                            .arg(pictureDiff.count)
                            .arg(kRows * kColumns)
                            .arg(pictureDiff.first);
            if (!idleDiff.isEmpty())
                text += "\n" + idleDiff;
            Fail(text + "\n" + ProgramState());
        }
        Log(QStringLiteral("all %1 picture pixels match the simulator's frame")
                .arg(kRows * kColumns));

        // Nothing but the frame is drawn in the picture area.
        const QRect image(origin, QSize(kColumns, kRows));
        int stray = 0;
        QString first;
        for (int y = visible.top(); y <= visible.bottom(); ++y)
            for (int x = visible.left(); x <= visible.right(); ++x) {
                if (image.contains(x, y))
                    continue;
                const QRgb real = shot.pixel(x, y) & 0xFFFFFFu;
                if (real != kPictureBackground && stray++ == 0)
                    first = QStringLiteral("(%1,%2) is %3").arg(x).arg(y).arg(Hex(real));
            }
        if (stray > 0)
            Fail(QStringLiteral("%1 pixels of the picture area outside the frame are not %2; "
                                "first: %3")
                     .arg(stray)
                     .arg(Hex(kPictureBackground), first));

        // The serial settings bar still shows the choices.
        const QString bar = Differences(shot, mirror,
                                        {{"the baud rate list", RectOf(m_mirror->m_wndBaudCombo)},
                                         {"the port list", RectOf(m_mirror->m_wndPortCombo)}});
        if (!bar.isEmpty())
            Fail(bar);
    }

    // A right click near the picture's corner; its menu is up on return.
    void OpenPictureMenu() {
        QWidget* picture = Page()->Control(IDC_PICTURE);
        const QPoint at = m_windowRect.topLeft() + RectOf(picture).topLeft() + QPoint(20, 20);
        Xdo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "3"});
        if (!WaitFor([&] { return VisibleWindows() >= 2; }, 5000))
            Fail(QStringLiteral("the picture's menu did not open"));
    }

    // The picture area's menu, opened with the right button: "保存原始帧…",
    // a file name typed into the file dialog; the file holds the frame the
    // simulator sent, byte for byte.
    void SaveFrame() {
        OpenPictureMenu();
        Pump(300);
        Save(Shot(), m_options.out + "/e2e-picture-menu.png");
        Key("Down");
        Key("Down");  // "保存原始帧…"
        Key("Return");
        if (!WaitFor([&] { return VisibleWindows() >= 2; }, 5000))
            Fail(QStringLiteral("no file dialog after 保存原始帧…"));
        Pump(500);
        const QString path = m_dir + "/saved-frame.pgm";
        Key("ctrl+a");
        Type(path);
        Key("Return");
        if (!WaitFor([&] { return QFileInfo(path).size() > 0; }, 5000))
            Fail(QStringLiteral("the frame was not saved to %1").arg(path));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            Fail(QStringLiteral("cannot read %1").arg(path));
        const QByteArray bytes = file.readAll();
        const QByteArray head =
            QStringLiteral("P5\n%1 %2\n255\n").arg(kColumns).arg(kRows).toLatin1();
        if (!bytes.startsWith(head) ||
            bytes.mid(head.size()) != QByteArray(reinterpret_cast<const char*>(m_frame.data()),
                                                 static_cast<int>(m_frame.size())))
            Fail(QStringLiteral("%1 does not hold the simulator's frame").arg(path));
        Log(QStringLiteral("the saved frame %1 equals the simulator's frame").arg(path));
        MovePointerAway();
    }

    // "诊断串口数据…" from the picture's menu: the program listens to the
    // simulator for 3 s (it has the page's settings, which the stream
    // bears out, so it need not listen on) and shows its report; Escape
    // closes it. The progress window while it listens has a title of its own.
    void Diagnose() {
        OpenPictureMenu();
        for (int i = 0; i < 6; ++i)
            Key("Down");  // "诊断串口数据…"
        Key("Return");
        QElapsedTimer listening;
        listening.start();
        auto report = [&] {
            bool ok = false;
            const QString ids =
                Xdo({"search", "--onlyvisible", "--name", "^诊断串口数据$"}, false, &ok);
            return ok && !ids.trimmed().isEmpty();
        };
        if (!WaitFor(report, 8000))
            Fail(QStringLiteral("no diagnosis report appeared"));
        Log(QStringLiteral("the report came after %1 s")
                .arg(listening.elapsed() / 1000.0, 0, 'f', 1));
        Pump(300);
        QScreen* screen = QGuiApplication::primaryScreen();
        Save(screen->grabWindow(0).toImage(), m_options.out + "/e2e-diagnosis.png");
        Key("Escape");
        if (!WaitFor([&] { return VisibleWindows() == 1; }, 5000))
            Fail(QStringLiteral("the diagnosis report did not close"));
        Log(QStringLiteral("a diagnosis report was shown and closed"));
        MovePointerAway();
    }

    // The program started with a recording on its command line replays it
    // on the grayscale page: the recorded frame appears in the picture.
    void Replay() {
        const QString path = m_dir + "/run.tavixrec";
        RecordingHeader header;
        header.baud = kBaud;
        header.rows = kRows;
        header.columns = kColumns;
        CRecordingWriter writer;
        std::string error;
        std::vector<uint8_t> wire = camsim::WireFrame(255, m_frame);
        if (!writer.Open(path.toStdString(), header, error) ||
            !writer.Write(0, wire.data(), wire.size()) ||
            !writer.Write(200000, wire.data(), wire.size()) || !writer.Close())
            Fail(QStringLiteral("cannot write the recording: %1")
                     .arg(QString::fromStdString(error)));
        StartProgram({path}, "/tavixtool-replay.log");
        Xdo({"windowsize", "--sync", QString::number(m_window), QString::number(kScreenWidth),
             QString::number(kScreenHeight)});
        // The mirror shows the grayscale page and the replay's bar, as the
        // program does.
        m_mirror->GetReplayBar()->show();
        m_mirror->GetActiveView()->ShowPage(CTavixToolView::kBlackPageId);
        ReadGeometry();
        MovePointerAway();
        const QPoint origin = Page()->Control(IDC_PICTURE)->mapTo(m_mirror.get(), QPoint(0, 0));
        QImage shot;
        Difference diff;
        const bool shown = WaitFor(
            [&] {
                shot = Shot();
                diff = ComparePicture(shot, origin, m_frame);
                return diff.count == 0;
            },
            15000, 200);
        Save(shot, m_options.out + "/e2e-replay.png");
        if (!shown)
            Fail(QStringLiteral("the replayed frame did not appear: %1 of %2 pixels differ; first: "
                                "%3\n%4")
                     .arg(diff.count)
                     .arg(kRows * kColumns)
                     .arg(diff.first)
                     .arg(m_app.Output()));
        Log(QStringLiteral("the replayed frame is on the screen"));
        if (!SendDeleteWindow(m_display.toStdString(), m_window) || !m_app.WaitForExit(10000) ||
            m_app.Crashed() || m_app.ExitCode() != 0)
            Fail(QStringLiteral("TavixTool did not end cleanly after the replay; its output:\n%1")
                     .arg(m_app.Output()));
        // The recording heads the recent files in the program's own settings
        // file, in the run's home.
        const QString state = m_dir + "/home/.config/TavixTool/TavixTool.conf";
        if (!ReadText(state).contains(QStringLiteral("File1=") + path))
            Fail(QStringLiteral("%1 does not name the replayed recording first:\n%2")
                     .arg(state, ReadText(state)));
        Log(QStringLiteral("the recording is the first recent file in %1").arg(state));
    }

    // Closes the window as a window manager would; the program saves its
    // settings on the way out.
    void CloseProgram() {
        if (!SendDeleteWindow(m_display.toStdString(), m_window))
            Fail(QStringLiteral("could not ask the window to close"));
        if (!m_app.WaitForExit(10000))
            Fail(QStringLiteral("TavixTool did not end within 10 s of the close request"));
        if (m_app.Crashed() || m_app.ExitCode() != 0)
            Fail(QStringLiteral("TavixTool ended with %1 (exit code %2); its output:\n%3")
                     .arg(m_app.Crashed() ? "a crash" : "an error")
                     .arg(m_app.ExitCode())
                     .arg(m_app.Output()));
        Log(QStringLiteral("TavixTool closed"));
        // A capture, a saved frame and a diagnosis leave the terminal clean:
        // no trace of the workers, no warning of the window's making.
        const QString output = m_app.Output();
        for (const char* trace : {"Execute_Base()", "QStatusBar::", "Index out of range"})
            if (output.contains(QLatin1String(trace)))
                Fail(QStringLiteral("TavixTool printed \"%1\"; its output:\n%2")
                         .arg(QLatin1String(trace), output));
        const std::string ini = m_settings.toStdString();
        const std::string baund = ReadProfileString("Com", "baund", "", ini);
        const int com = ReadProfileInt("Com", "com", -1, ini);
        const int rows = ReadProfileInt("Black", "row", -1, ini);
        const int columns = ReadProfileInt("Black", "column", -1, ini);
        if (baund != std::to_string(kBaud) || com != m_portIndex || rows != kRows ||
            columns != kColumns)
            Fail(QStringLiteral("the saved settings are baund=%1 com=%2 row=%3 column=%4, "
                                "expected %5, %6, %7, %8; the file:\n%9")
                     .arg(QString::fromStdString(baund))
                     .arg(com)
                     .arg(rows)
                     .arg(columns)
                     .arg(kBaud)
                     .arg(m_portIndex)
                     .arg(kRows)
                     .arg(kColumns)
                     .arg(ReadText(m_settings)));
    }

    // --- Helpers -------------------------------------------------------------

    CBlackPage* Page() const { return m_mirror->GetActiveView()->m_pBlackPage; }

    QRect RectOf(const QWidget* widget) const {
        return QRect(widget->mapTo(m_mirror.get(), QPoint(0, 0)), widget->size());
    }

    QRect ControlRect(int id) const {
        QWidget* control = Page()->Control(id);
        if (control == nullptr)
            Fail(QStringLiteral("the mirror's page has no control %1").arg(id));
        return RectOf(control);
    }

    // The real window as it is on the screen now.
    QImage Shot() const {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QPixmap pixmap = screen->grabWindow(0, m_windowRect.x(), m_windowRect.y(),
                                                  m_windowRect.width(), m_windowRect.height());
        return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    }

    QImage MirrorImage() const {
        return m_mirror->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // One line per region that differs; empty when all are the same.
    QString Differences(const QImage& shot, const QImage& mirror,
                        const std::vector<Region>& regions) const {
        QStringList lines;
        for (const Region& region : regions) {
            const QRect rect = region.rect & shot.rect() & mirror.rect();
            if (rect != region.rect) {
                lines << QStringLiteral("  %1 lies outside the window").arg(region.name);
                continue;
            }
            const Difference d = CompareRegion(shot, mirror, rect);
            if (d.count > 0)
                lines << QStringLiteral(
                             "  %1 (%2,%3 %4x%5): %6 pixels differ from the mirror; "
                             "first: %7")
                             .arg(region.name)
                             .arg(rect.x())
                             .arg(rect.y())
                             .arg(rect.width())
                             .arg(rect.height())
                             .arg(d.count)
                             .arg(d.first);
        }
        return lines.join('\n');
    }

    // Waits until the regions of the real window look as in the mirror.
    void ExpectSame(const std::vector<Region>& regions, int timeoutMs, const QString& shotName) {
        Pump(50);
        const QImage mirror = MirrorImage();
        QImage shot;
        QString diff;
        const bool same = WaitFor(
            [&] {
                shot = Shot();
                diff = Differences(shot, mirror, regions);
                return diff.isEmpty();
            },
            timeoutMs, 100);
        if (!shotName.isEmpty())
            Save(shot, m_options.out + "/" + shotName);
        if (!same) {
            Save(shot, m_options.out + "/e2e-failure.png");
            Save(mirror, m_options.out + "/e2e-mirror.png");
            Fail(QStringLiteral("the window does not look like the mirror (different fonts, "
                                "resolution or layout, or the input went astray):\n%1\n%2")
                     .arg(diff, ProgramState()));
        }
    }

    QString ProgramState() const {
        QStringList windows;
        if (m_app.Running()) {
            bool ok = false;
            const QString ids =
                Xdo({"search", "--onlyvisible", "--pid", QString::number(m_app.Pid())}, false, &ok);
            for (const QString& id : ids.split('\n', Qt::SkipEmptyParts))
                windows << QStringLiteral("%1 \"%2\"")
                               .arg(id, Xdo({"getwindowname", id}, false).trimmed());
        }
        return QStringLiteral(
                   "TavixTool is %1; its visible windows: %2; its output:\n%3\n"
                   "simulator output:\n%4")
            .arg(m_app.Running() ? "running" : "not running",
                 windows.isEmpty() ? QStringLiteral("none") : windows.join(", "), m_app.Output(),
                 m_simulator.Output());
    }

    // A left click on the centre of the mirror widget's counterpart.
    void Click(const QWidget* widget, const char* what) {
        if (widget == nullptr)
            Fail(QStringLiteral("the mirror has no %1").arg(what));
        const QRect rect = RectOf(widget);
        const QPoint centre = rect.center();
        if (!m_mirror->rect().contains(centre))
            Fail(QStringLiteral("%1 lies outside the window").arg(what));
        const QPoint screen = m_windowRect.topLeft() + centre;
        Log(QStringLiteral("click %1 at %2,%3").arg(what).arg(screen.x()).arg(screen.y()));
        Xdo({"mousemove", QString::number(screen.x()), QString::number(screen.y()), "click", "1"});
        Pump(150);
    }

    void Key(const QString& keys) {
        Xdo({"key", "--clearmodifiers", keys});
        Pump(100);
    }

    void Type(const QString& text) {
        Log(QStringLiteral("type %1").arg(text));
        Xdo({"type", "--delay", "40", text});
        Pump(100);
    }

    void TypeInto(int id, const char* what, const QString& text) {
        QLineEdit* box = qobject_cast<QLineEdit*>(Page()->Control(id));
        if (box == nullptr)
            Fail(QStringLiteral("the mirror's %1 (%2) is not a text box").arg(what).arg(id));
        Click(box, what);
        Key("ctrl+a");
        Type(text);
        box->setText(text);
    }

    // Hovered widgets look different: the pointer rests on the status bar's
    // message pane, which does not.
    void MovePointerAway() {
        const QPoint rest = m_windowRect.topLeft() + RectOf(m_mirror->m_wndMessage).center();
        Xdo({"mousemove", QString::number(rest.x()), QString::number(rest.y())});
        Pump(150);
    }

    int VisibleWindows() const {
        bool ok = false;
        const QString ids =
            Xdo({"search", "--onlyvisible", "--pid", QString::number(m_app.Pid())}, false, &ok);
        return ok ? static_cast<int>(ids.split('\n', Qt::SkipEmptyParts).size()) : 0;
    }

    const Options m_options;
    const QString m_display;
    const QString m_dir;
    QString m_appDir, m_mirrorDir, m_appCopy, m_settings, m_link, m_picture;
    std::vector<uint8_t> m_frame;
    Child m_simulator{QStringLiteral("the simulator")};
    Child m_app{QStringLiteral("TavixTool")};
    CTavixToolDoc m_document;
    std::unique_ptr<CMainFrame> m_mirror;
    int m_portIndex = -1;
    unsigned long m_window = 0;
    QRect m_windowRect;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (name == "--tavixtool")
            options.tavixTool = value;
        else if (name == "--camsim")
            options.camsim = value;
        else if (name == "--out")
            options.out = value;
        else
            return false;
    }
    return argc % 2 == 1 && !options.tavixTool.isEmpty() && !options.camsim.isEmpty() &&
           !options.out.isEmpty();
}

}  // namespace

int main(int argc, char** argv) {
    g_clock.start();
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s --tavixtool PATH --camsim PATH --out DIR\n", argv[0]);
        return 2;
    }
    // The X tools come from scripts/install-deps.sh; without them the run fails.
    for (const char* tool : {"Xvfb", "xdotool"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::fprintf(stderr,
                         "FAIL: %s is not installed (packages xvfb and xdotool; "
                         "scripts/install-deps.sh installs them)\n",
                         tool);
            return 1;
        }
    QTemporaryDir dir(QDir::tempPath() + "/tavix-e2e-XXXXXX");
    if (!dir.isValid()) {
        std::fprintf(stderr, "FAIL: no temporary directory\n");
        return 1;
    }
    QDir().mkpath(options.out);
    // The run's own home, for this process and every program it starts: the
    // user's configuration, recent files and caches stay untouched.
    const QString home = dir.path() + "/home";
    QDir().mkpath(home);
    setenv("HOME", home.toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").toLocal8Bit().constData(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").toLocal8Bit().constData(), 1);
    setenv("XDG_STATE_HOME", (home + "/.local/state").toLocal8Bit().constData(), 1);

    XServer xserver;
    int code = 1;
    try {
        xserver.Start((dir.path() + "/xvfb.log").toStdString());
        Log(QStringLiteral("Xvfb on display %1").arg(QString::fromStdString(xserver.Display())));
        setenv("DISPLAY", xserver.Display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        QApplication app(argc, argv);
        {
            EndToEnd run(options, QString::fromStdString(xserver.Display()), dir.path());
            run.Run();
        }
        std::fprintf(stderr, "PASS (%.1f s)\n", g_clock.elapsed() / 1000.0);
        code = 0;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "FAIL: %s\n", failure.what());
    }
    xserver.Stop();
    return code;
}
