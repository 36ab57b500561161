// The application as the user starts it, offscreen, in a home of its own:
// files opened with Ctrl+O (or named on the command line) are replayed, and
// a file that cannot be is refused with a message that says why; the Open
// dialog offers recordings first; the recent files live in the program's
// own settings file.
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "capture/RecordingWriter.h"
#include "shell/MainFrame.h"
#include "shell/ReplayBar.h"
#include "shell/TavixToolApp.h"

namespace {

QTemporaryDir* g_home = nullptr;

}  // namespace

class TavixToolAppTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        auto* app = static_cast<CTavixToolApp*>(QCoreApplication::instance());
        QVERIFY(app->InitInstance(dir.filePath("DevSet.ini").toStdString()));
        QVERIFY(QTest::qWaitForWindowExposed(app->GetMainFrame()));
    }

    // An empty file, bytes that are no recording and a header cut short each
    // get a box with the reason; nothing replays, the recent list is kept.
    void filesThatAreNoRecordingGetAMessage() {
        auto* app = static_cast<CTavixToolApp*>(QCoreApplication::instance());
        const QStringList recentBefore = app->RecentFiles();
        struct Case {
            const char* name;
            QByteArray bytes;
            const char* reason;
        };
        const Case cases[] = {
            {"empty.tavixrec", QByteArray(), "是空的"},
            {"noise.bin", QByteArray("\x13\x88\xfe\x00garbage bytes, no header", 28),
             "不是 TavixTool 的录制文件"},
            {"cut.tavixrec", QByteArray("TAVIXREC\x01\x00", 10), "文件头不完整"},
        };
        for (const Case& c : cases) {
            const QString path = dir.filePath(QString::fromLatin1(c.name));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(c.bytes);
            file.close();
            QString text;
            QTimer::singleShot(0, [&text] { text = CloseNextMessage(); });
            QVERIFY2(!app->OpenDocumentFile(path), c.name);
            QVERIFY2(text.contains(QString::fromUtf8(c.reason)),
                     qPrintable(c.name + (": " + text)));
            QVERIFY2(text.contains(path), qPrintable(text));
            QVERIFY(!app->GetMainFrame()->GetReplayBar()->IsReplaying());
        }
        QCOMPARE(app->RecentFiles(), recentBefore);
    }

    // The Open dialog's first filter is the recordings'.
    void theOpenDialogOffersRecordingsFirst() {
        auto* app = static_cast<CTavixToolApp*>(QCoreApplication::instance());
        QStringList filters;
        QString selected;
        QTimer::singleShot(0, [&] {
            QWidget* modal = WaitForModal();
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                filters = dialog->nameFilters();
                selected = dialog->selectedNameFilter();
                dialog->reject();
            } else if (modal != nullptr) {
                modal->close();
            }
        });
        app->OnFileOpen();
        QVERIFY(!filters.isEmpty());
        QCOMPARE(filters.first(), QStringLiteral("TavixTool 录制文件 (*.tavixrec)"));
        QCOMPARE(selected, filters.first());
        QVERIFY(filters.contains(QStringLiteral("所有文件 (*)")));
    }

    // A recording replays, and goes to the top of the recent files in the
    // program's own settings file, inside the test's home.
    void aRecordingReplaysAndIsRemembered() {
        auto* app = static_cast<CTavixToolApp*>(QCoreApplication::instance());
        const QString path = dir.filePath("run.tavixrec");
        {
            RecordingHeader header;
            header.rows = 2;
            header.columns = 2;
            CRecordingWriter writer;
            std::string error;
            QVERIFY2(writer.Open(path.toStdString(), header, error), error.c_str());
            const uint8_t bytes[] = {255, 1, 2, 3, 4};
            QVERIFY(writer.Write(0, bytes, sizeof bytes));
            QVERIFY(writer.Close());
        }
        QVERIFY(app->OpenDocumentFile(path));
        QVERIFY(app->GetMainFrame()->GetReplayBar()->IsReplaying());
        app->GetMainFrame()->GetReplayBar()->End();
        QCOMPARE(app->RecentFiles().value(0), path);
        const QString store = QSettings().fileName();
        QCOMPARE(store, g_home->filePath(".config/TavixTool/TavixTool.conf"));
        QFile file(store);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(file.readAll()).contains(path));
    }

private:
    // Waits up to 5 s for a modal window.
    static QWidget* WaitForModal() {
        QWidget* modal = nullptr;
        (void)QTest::qWaitFor(
            [&] { return (modal = QApplication::activeModalWidget()) != nullptr; }, 5000);
        return modal;
    }
    // Closes the next message box with its button; its text.
    static QString CloseNextMessage() {
        QWidget* modal = WaitForModal();
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            if (modal != nullptr)
                modal->close();
            return QStringLiteral("no message box");
        }
        const QString text = box->text();
        box->button(QMessageBox::Ok)->click();
        return text;
    }

    QTemporaryDir dir;
};

int main(int argc, char** argv) {
    // A home of the test's own, set before anything reads the environment,
    // so that even a run by hand leaves the user's settings alone.
    QTemporaryDir home;
    g_home = &home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(".config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(".local/share").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", home.filePath(".cache").toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The program sees only its own name: test options are no files to open.
    int appArgc = 1;
    CTavixToolApp app(appArgc, argv);
    TavixToolAppTest test;
    const int code = QTest::qExec(&test, argc, argv);
    app.ExitInstance();
    return code;
}

#include "TavixToolAppTest.moc"
