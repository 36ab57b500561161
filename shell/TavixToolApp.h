// The application: starts the program (settings store, port table, document,
// main window, view) and carries the application-wide commands.
#pragma once

#include <QApplication>
#include <QStringList>
#include <memory>
#include <string>

#include "settings/Translation.h"

class CMainFrame;
class CTavixToolDoc;

class CTavixToolApp : public QApplication {
    Q_OBJECT

public:
    static constexpr int kRecentFileCount = 4;

    CTavixToolApp(int& argc, char** argv);
    ~CTavixToolApp() override;

    // The user chose another language and a restart (see CMainFrame).
    bool RestartRequested() const { return m_bRestart; }

    // Start-up with the settings file `settingsPath`; false when the program
    // cannot start.
    bool InitInstance(const std::string& settingsPath);
    // Destroys the main window (the pages save and stop their engines).
    int ExitInstance();

    // Application commands.
    void OnAppAbout();
    void OnFileNew();
    void OnFileOpen();
    void OnFilePrintSetup();
    // Ctrl+O and the command line: replays the recording `path`; false, with
    // a message saying why, when it cannot be replayed.
    bool OpenDocumentFile(const QString& path);

    CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }
    CTavixToolDoc* GetDocument() const { return m_pDocument.get(); }
    const QStringList& RecentFiles() const { return m_recentFiles; }

private:
    // SIGINT, SIGTERM and SIGHUP (Ctrl+C in the terminal, a logout) close the
    // main window as its close button would, so the settings are saved.
    void CatchTerminationSignals();
    // The texts' language, before any window (key "language" of section
    // "Window"): the engine's texts, the window's translations and Qt's own.
    void InstallTranslators(tx::Language language);
    // The framework's profile settings: the recent-file list.
    void LoadStdProfileSettings();
    void AddToRecentFileList(const QString& path);

    std::unique_ptr<CTavixToolDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    QStringList m_recentFiles;
    class QSocketNotifier* m_pSignalNotifier = nullptr;
    bool m_bRestart = false;
};
