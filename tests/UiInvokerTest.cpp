// The page-call channel: engine threads call into the user-interface thread,
// synchronously and in order, without deadlock while that thread waits for
// the engine.
#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

#include "FakePortOwner.h"
#include "capture/CaptureBase.h"
#include "pages/UiInvoker.h"
#include "serial/PortDevices.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

bool OnUiThread() {
    return QThread::currentThread() == qApp->thread();
}

// An engine whose page operations go through the channel, as the pages' do.
class QtPage : public CCaptureBase {
public:
    QtPage() : invoker([this] { WakeWaiter(); }) {}
    ~QtPage() override {
        invoker.Shutdown();
        ShutdownEngine();
    }
    void ShowStatus(std::string text) override {
        invoker.Call([&] { Record("status:" + QString::fromStdString(text)); });
    }
    void OnCaptureBegin() override {
        invoker.Call([&] { Record("begin"); });
    }
    void OnCaptureEnd() override {
        invoker.Call([&] { Record("end"); });
    }
    void ClearPicture() override {}
    void ClearValueList() override {}
    void AppendValue(uint8_t, int) override {}

    void Record(const QString& call) {
        if (!OnUiThread())
            wrongThread = true;
        calls << call;
    }

    CUiInvoker invoker;
    QStringList calls;  // user-interface thread only
    std::atomic<bool> wrongThread{false};

protected:
    void RunPendingPageCalls() override { invoker.RunPending(); }
};

const QString kWelcome = QStringLiteral("status:Tavix工作室欢迎您使用TavixTool！");

}  // namespace

class UiInvokerTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(board.Open());
        SetPortDevicePath(9, board.DevicePath());
        SetPortOwner(&owner);
    }
    void cleanup() {
        SetPortOwner(nullptr);
        owner.ClosePort();
        SetPortDevicePath(9, "");
        board.Close();
    }

    void callsRunOnTheUiThreadInOrder() {
        CUiInvoker invoker(nullptr);
        std::vector<int> seen;  // user-interface thread only
        std::atomic<int> ranBeforeReturn{0};
        std::thread worker([&] {
            for (int i = 0; i < 500; ++i) {
                invoker.Call([&, i] {
                    if (OnUiThread())
                        seen.push_back(i);
                });
                // The call has run when Call returns.
                if (static_cast<int>(seen.size()) == i + 1)
                    ++ranBeforeReturn;
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(seen.size()), 500, 10000);
        worker.join();
        QCOMPARE(ranBeforeReturn.load(), 500);
        for (int i = 0; i < 500; ++i)
            QCOMPARE(seen[i], i);
    }

    void callOnTheUiThreadRunsAtOnce() {
        CUiInvoker invoker(nullptr);
        bool ran = false;
        invoker.Call([&] { ran = true; });
        QVERIFY(ran);
    }

    void shutdownReleasesBlockedCallers() {
        CUiInvoker invoker(nullptr);
        std::atomic<bool> returned{false};
        bool ran = false;
        std::thread worker([&] {
            invoker.Call([&] { ran = true; });
            returned = true;
        });
        QThread::msleep(50);  // no events handled: the caller stays blocked
        QVERIFY(!returned);
        invoker.Shutdown();
        worker.join();
        QVERIFY(returned);
        QCoreApplication::processEvents();
        QVERIFY(!ran);
        invoker.Call([&] { ran = true; });  // after shutdown nothing runs
        QVERIFY(!ran);
    }

    void stopWhileTheWorkerWaitsForTheUiThread() {
        QtPage page;
        page.m_nRows = 60;
        page.m_nColumns = 80;
        page.m_nMode = 1;
        page.m_byFormat = 0;
        QCOMPARE(page.StartWorker(), 1);
        QTRY_VERIFY(page.calls.contains(QStringLiteral("status:未接收到串口数据")));
        // The user stops: the worker's last status text needs the user-interface
        // thread while that thread waits inside StopWorker.
        QElapsedTimer timer;
        timer.start();
        page.StopWorker();
        QVERIFY(timer.elapsed() < 700);
        QVERIFY(page.calls.contains(kWelcome));
        QTRY_COMPARE(page.calls.last(), QStringLiteral("end"));
        QVERIFY(!page.wrongThread);
    }

    void destroyWhileCapturing() {
        auto page = std::make_unique<QtPage>();
        page->m_nRows = 60;
        page->m_nColumns = 80;
        page->m_nMode = 1;
        page->m_byFormat = 0;
        QCOMPARE(page->StartWorker(), 1);
        QTRY_VERIFY(page->calls.contains(QStringLiteral("status:未接收到串口数据")));
        QElapsedTimer timer;
        timer.start();
        page.reset();  // the worker's calls return at once; the engine joins it
        QVERIFY(timer.elapsed() < 2000);
    }

    void restartRightAfterTheEnd() {
        // A new start waits for the previous worker, which may still be
        // delivering its last calls.
        QtPage page;
        page.m_nRows = 10;
        page.m_nColumns = 10;
        page.m_nMode = 1;
        page.m_byFormat = 0;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(page.StartWorker(), 1);
            QTRY_VERIFY(page.calls.count(QStringLiteral("begin")) == i + 1);
            page.StopWorker();
        }
        QTRY_COMPARE(page.calls.count(QStringLiteral("end")), 3);
        QCOMPARE(page.calls.count(kWelcome), 3);
    }

private:
    camsim::PseudoTerminal board;
    FakePortOwner owner;
};

QTEST_MAIN(UiInvokerTest)
#include "UiInvokerTest.moc"
