// Carries the engine's calls into a page over to the user-interface thread:
// each call has run there when it returns, in call order, and the
// user-interface thread keeps handling events meanwhile.
#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CUiInvoker : public QObject {
    Q_OBJECT

public:
    // `wake` is called after a call has been queued, from the calling thread,
    // so that a user-interface thread waiting inside the engine runs it (the
    // engine's WakeWaiter).
    explicit CUiInvoker(std::function<void()> wake, QObject* parent = nullptr);
    ~CUiInvoker() override;

    // Runs `call` on the user-interface thread and returns when it has run.
    // On the user-interface thread it runs at once. After Shutdown it returns
    // at once without running.
    void Call(const std::function<void()>& call);
    // User-interface thread: runs every queued call, oldest first.
    void RunPending();
    // User-interface thread: from now on no call runs, and callers blocked in
    // Call return. For a page that is being destroyed.
    void Shutdown();
    bool IsShutDown();

private:
    struct Item {
        std::function<void()> call;
        bool done = false;
    };

    std::function<void()> m_wake;
    const std::thread::id m_uiThread;
    std::mutex m_lock;
    std::condition_variable m_done;
    std::deque<std::shared_ptr<Item>> m_queue;
    bool m_bShutdown = false;
    bool m_bPosted = false;  // a RunPending is already posted to the event loop
};
