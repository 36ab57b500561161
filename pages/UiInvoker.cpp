#include "pages/UiInvoker.h"

#include <QMetaObject>

CUiInvoker::CUiInvoker(std::function<void()> wake, QObject* parent)
    : QObject(parent), m_wake(std::move(wake)), m_uiThread(std::this_thread::get_id()) {}

CUiInvoker::~CUiInvoker() {
    Shutdown();
}

void CUiInvoker::Call(const std::function<void()>& call) {
    if (std::this_thread::get_id() == m_uiThread) {
        if (!IsShutDown())
            call();
        return;
    }
    auto item = std::make_shared<Item>();
    item->call = call;
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bShutdown)
            return;
        m_queue.push_back(item);
        post = !m_bPosted;
        m_bPosted = true;
    }
    // One posted event drains the whole queue; the waiter hook covers the
    // time the user-interface thread spends waiting inside the engine.
    if (post)
        QMetaObject::invokeMethod(this, &CUiInvoker::RunPending, Qt::QueuedConnection);
    if (m_wake)
        m_wake();
    std::unique_lock<std::mutex> lock(m_lock);
    m_done.wait(lock, [&] { return item->done || m_bShutdown; });
}

void CUiInvoker::RunPending() {
    for (;;) {
        std::shared_ptr<Item> item;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_bPosted = false;
            if (m_bShutdown || m_queue.empty())
                return;
            item = m_queue.front();
            m_queue.pop_front();
        }
        item->call();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            item->done = true;
        }
        m_done.notify_all();
    }
}

void CUiInvoker::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bShutdown = true;
        m_queue.clear();
    }
    m_done.notify_all();
}

bool CUiInvoker::IsShutDown() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bShutdown;
}
