// The page-call channel: engine threads post calls to the user-interface
// thread in order and never wait for them.
#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

#include "FakePortOwner.h"
#include "capture/CaptureBase.h"
#include "serial/PortDevices.h"
#include "tools/camsim/PseudoTerminal.h"
#include "ui/UiInvoker.h"

namespace {

bool OnUiThread() {
    return QThread::currentThread() == qApp->thread();
}

// An engine whose page operations go through the channel, as the pages' do.
class QtPage : public CCaptureBase {
public:
    QtPage() = default;
    ~QtPage() override {
        invoker.Shutdown();
        ShutdownEngine();
    }
    void ShowStatus(std::string text) override {
        invoker.Post([this, text] { Record("status:" + QString::fromStdString(text)); }, 1);
    }
    void OnCaptureBegin() override {
        invoker.Post([this] { Record("begin"); });
    }
    void OnCaptureEnd() override {
        invoker.Post([this] { Record("end"); });
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

    void postsRunLaterOnTheUiThreadInOrder() {
        CUiInvoker invoker;
        std::vector<int> seen;  // user-interface thread only
        std::atomic<bool> wrongThread{false};
        // The user-interface thread handles no events meanwhile: the worker
        // must not wait for it.
        std::thread worker([&] {
            for (int i = 0; i < 500; ++i)
                invoker.Post([&, i] {
                    wrongThread = wrongThread || !OnUiThread();
                    seen.push_back(i);
                });
        });
        worker.join();
        QVERIFY(seen.empty());
        QCOMPARE(invoker.Pending(), size_t{500});
        QCoreApplication::processEvents();
        QCOMPARE(static_cast<int>(seen.size()), 500);
        for (int i = 0; i < 500; ++i)
            QCOMPARE(seen[i], i);
        QVERIFY(!wrongThread);
    }

    void onlyTheNewestOfAQueuedRunOfAKindStays() {
        CUiInvoker invoker;
        QStringList seen;
        std::thread worker([&] {
            for (int i = 0; i < 1000; ++i)
                invoker.Post([&, i] { seen << QString("status %1").arg(i); }, 1);
            invoker.Post([&] { seen << "end"; });
            invoker.Post([&] { seen << "status after"; }, 1);
        });
        worker.join();
        QCOMPARE(invoker.Pending(), size_t{3});
        // A call on the user-interface thread runs after what was queued.
        invoker.Post([&] { seen << "here"; });
        QCOMPARE(seen, QStringList({"status 999", "end", "status after", "here"}));
    }

    void shutdownDropsQueuedAndLaterCalls() {
        CUiInvoker invoker;
        bool ran = false;
        std::thread worker([&] { invoker.Post([&] { ran = true; }); });
        worker.join();
        invoker.Shutdown();
        QCoreApplication::processEvents();
        QVERIFY(!ran);
        invoker.Post([&] { ran = true; });
        QVERIFY(!ran);
    }

    void stopWhileTheUiThreadHandlesNoEvents() {
        QtPage page;
        page.m_nRows = 60;
        page.m_nColumns = 80;
        page.m_nMode = 1;
        page.m_byFormat = 0;
        QCOMPARE(page.StartWorker(), 1);
        QTRY_VERIFY(page.calls.contains(QStringLiteral("status:未接收到串口数据")));
        // The user stops; the user-interface thread waits inside StopWorker
        // and handles no events, and the worker ends all the same.
        QElapsedTimer timer;
        timer.start();
        page.StopWorker();
        QVERIFY(timer.elapsed() < 700);
        page.ShutdownEngine();
        QVERIFY(timer.elapsed() < 1500);
        QCoreApplication::processEvents();
        QCOMPARE(page.calls.mid(page.calls.size() - 2), QStringList({kWelcome, "end"}));
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
        page.reset();  // the worker's calls are dropped; the engine joins it
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
