#include "shell/TavixToolApp.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>

#include "serial/PortDevices.h"
#include "settings/LanguageSetting.h"
#include "settings/PortsSection.h"
#include "shell/AboutDialog.h"
#include "shell/MainFrame.h"
#include "shell/TavixToolDoc.h"
#include "shell/TavixToolView.h"

namespace {

const char kRecentGroup[] = "Recent File List";
// The folder older versions kept the program's state in, a name borrowed
// from a code generator.
const char kOldOrganization[] = "Local AppWizard-Generated Applications";

// The signal handler's end of a pipe; the event loop reads the other end.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// Moves the state an older version left under kOldOrganization to the
// program's own file, once: only while the new file does not exist yet.
void MoveOldProfileSettings() {
    const QString now = QSettings().fileName();
    const QString old =
        QSettings(QSettings::NativeFormat, QSettings::UserScope,
                  QString::fromLatin1(kOldOrganization), QApplication::applicationName())
            .fileName();
    if (QFileInfo::exists(now) || !QFileInfo::exists(old))
        return;
    QDir().mkpath(QFileInfo(now).absolutePath());
    QFile file(old);
    if (!file.rename(now)) {
        std::fprintf(
            stderr, "%s\n",
            qPrintable(QCoreApplication::translate("CTavixToolApp", "无法把 %1 移到 %2：%3")
                           .arg(old, now, file.errorString())));
        return;
    }
    QDir().rmdir(QFileInfo(old).absolutePath());  // only when nothing else is left there
}

}  // namespace

CTavixToolApp::CTavixToolApp(int& argc, char** argv) : QApplication(argc, argv) {}

void CTavixToolApp::InstallTranslators(tx::Language language) {
    tx::SetLanguage(language);
    if (language == tx::Language::English) {
        // The window's own texts; Qt's texts are English already.
        auto* translator = new QTranslator(this);
        if (translator->load(QStringLiteral(":/i18n/tavixtool_en.qm")))
            installTranslator(translator);
        else
            std::fprintf(stderr, "The English translations are missing from the program.\n");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        return;
    }
    // Chinese: so are Qt's own buttons and dialogs ("确定", the file and
    // print dialogs).
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
}

CTavixToolApp::~CTavixToolApp() {
    ExitInstance();
}

bool CTavixToolApp::InitInstance(const std::string& settingsPath) {
    // The language first, so that everything said from here on is in it.
    InstallTranslators(ReadWindowLanguage(settingsPath));
    // The program's own state (the recent files) goes to the platform's
    // store for application settings: ~/.config/TavixTool/TavixTool.conf.
    setOrganizationName(QStringLiteral("TavixTool"));
    setApplicationName(QStringLiteral("TavixTool"));
    MoveOldProfileSettings();
    LoadStdProfileSettings();

    const std::string& path = settingsPath;
    // Which device file each port number means, before the first probe.
    SetPortDevicePaths(ReadPortsSection(path));

    m_pDocument = std::make_unique<CTavixToolDoc>();
    m_pMainFrame = std::make_unique<CMainFrame>(m_pDocument.get(), path);
    if (!m_pMainFrame->Create()) {
        m_pMainFrame.reset();
        return false;
    }
    connect(m_pMainFrame.get(), &CMainFrame::fileNewRequested, this, &CTavixToolApp::OnFileNew);
    connect(m_pMainFrame.get(), &CMainFrame::fileOpenRequested, this, &CTavixToolApp::OnFileOpen);
    // The main window's close ends the program, also while the help window is open.
    setQuitOnLastWindowClosed(false);
    connect(m_pMainFrame.get(), &CMainFrame::closed, this, &QCoreApplication::quit,
            Qt::QueuedConnection);
    connect(m_pMainFrame.get(), &CMainFrame::restartRequested, this, [this] { m_bRestart = true; });

    // The command line: a new document, and a file named there is opened
    // as Ctrl+O opens one (replayed, or refused with a message) once the
    // window is up.
    const QStringList args = arguments();
    QString replay;
    if (args.size() > 1 && !args.at(1).startsWith(QLatin1Char('-')))
        replay = args.at(1);
    if (!m_pDocument->OnNewDocument()) {
        m_pMainFrame.reset();
        return false;
    }
    m_pMainFrame->GetActiveView()->OnInitialUpdate();

    CatchTerminationSignals();
    m_pMainFrame->showMaximized();
    m_pMainFrame->repaint();
    if (!replay.isEmpty())
        QTimer::singleShot(0, this, [this, replay] { OpenDocumentFile(replay); });
    return true;
}

int CTavixToolApp::ExitInstance() {
    m_pMainFrame.reset();
    m_pDocument.reset();
    return 0;
}

void CTavixToolApp::CatchTerminationSignals() {
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_pSignalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_pSignalNotifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        if (m_pMainFrame != nullptr)
            m_pMainFrame->close();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
}

void CTavixToolApp::LoadStdProfileSettings() {
    QSettings settings;
    settings.beginGroup(QString::fromLatin1(kRecentGroup));
    m_recentFiles.clear();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty())
            m_recentFiles << file;
    }
}

void CTavixToolApp::AddToRecentFileList(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    m_recentFiles.removeAll(full);
    m_recentFiles.prepend(full);
    while (m_recentFiles.size() > kRecentFileCount)
        m_recentFiles.removeLast();
    QSettings settings;
    settings.beginGroup(QString::fromLatin1(kRecentGroup));
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_recentFiles.size())
            settings.setValue(key, m_recentFiles.at(i - 1));
        else
            settings.remove(key);
    }
}

void CTavixToolApp::OnAppAbout() {
    CAboutDialog about(m_pMainFrame.get());
    about.exec();
}

void CTavixToolApp::OnFileNew() {
    // The document is never modified, so nothing asks to save it first.
    if (m_pDocument == nullptr || !m_pDocument->OnNewDocument())
        return;
    if (m_pMainFrame != nullptr)
        m_pMainFrame->GetActiveView()->OnInitialUpdate();
}

void CTavixToolApp::OnFileOpen() {
    const QString path =
        QFileDialog::getOpenFileName(m_pMainFrame.get(), QString(), QString(),
                                     tr("TavixTool 录制文件 (*.tavixrec);;所有文件 (*)"));
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

bool CTavixToolApp::OpenDocumentFile(const QString& path) {
    if (m_pDocument == nullptr)
        return false;
    // The document holds nothing: a file is opened to be replayed. One that
    // cannot be (empty, no recording, cut short in its header, unreadable)
    // is refused with the reader's reason.
    QString error;
    if (m_pMainFrame == nullptr || !m_pMainFrame->StartReplay(path, error)) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("TavixTool"),
                        tr("无法回放这个文件：\n%1").arg(error), QMessageBox::Ok,
                        m_pMainFrame.get());
        box.button(QMessageBox::Ok)->setText(tr("确定"));
        box.exec();
        return false;
    }
    AddToRecentFileList(path);
    return true;
}

void CTavixToolApp::OnFilePrintSetup() {
    QPrinter printer;
    QPageSetupDialog dialog(&printer, m_pMainFrame.get());
    dialog.exec();
}
