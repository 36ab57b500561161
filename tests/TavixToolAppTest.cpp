// The application as the user starts it, offscreen:
// files opened with Ctrl+O (or named on the command line) are replayed, and
// a file that cannot be is refused with a message that says why; the Open
// dialog offers recordings first.
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "shell/MainFrame.h"
#include "shell/ReplayBar.h"
#include "shell/TavixToolApp.h"

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
    // The home is the test's own (TestHome.cpp). The program sees only its
    // own name: test options are no files to open.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    CTavixToolApp app(appArgc, argv);
    TavixToolAppTest test;
    const int code = QTest::qExec(&test, argc, argv);
    app.ExitInstance();
    return code;
}

#include "TavixToolAppTest.moc"
