// Carries the engine's calls into a page over to the user-interface thread:
// they run there in call order, and the calling thread never waits for them,
// so a capture runs at the line's pace whatever the user-interface thread does.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CUiInvoker : public QObject {
    Q_OBJECT

public:
    explicit CUiInvoker(QObject* parent = nullptr);
    ~CUiInvoker() override;

    // Runs `call` on the user-interface thread after every call posted before
    // it, and returns at once. On the user-interface thread itself the calls
    // still queued run first, then `call`, before Post returns. A call with a
    // nonzero `kind` replaces the newest queued call if that one has the same
    // kind: a status shown faster than the user-interface thread takes it
    // keeps only its latest text, and the queue stays short. After Shutdown
    // nothing runs.
    void Post(std::function<void()> call, int kind = 0);
    // User-interface thread: runs every queued call, oldest first.
    void RunPending();
    // User-interface thread: from now on no call runs; queued ones are
    // dropped. For a page that is being destroyed.
    void Shutdown();
    bool IsShutDown();
    // Calls queued and not yet run (for tests).
    size_t Pending();

private:
    struct Item {
        std::function<void()> call;
        int kind = 0;
    };

    const std::thread::id m_uiThread;
    std::mutex m_lock;
    std::deque<Item> m_queue;
    bool m_bShutdown = false;
    bool m_bPosted = false;  // a RunPending is already posted to the event loop
};
