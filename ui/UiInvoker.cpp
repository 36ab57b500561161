#include "ui/UiInvoker.h"

#include <QMetaObject>

CUiInvoker::CUiInvoker(QObject* parent) : QObject(parent), m_uiThread(std::this_thread::get_id()) {}

CUiInvoker::~CUiInvoker() {
    Shutdown();
}

void CUiInvoker::Post(std::function<void()> call, int kind) {
    if (std::this_thread::get_id() == m_uiThread) {
        // In order with what other threads posted before.
        RunPending();
        if (!IsShutDown())
            call();
        return;
    }
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bShutdown)
            return;
        if (kind != 0 && !m_queue.empty() && m_queue.back().kind == kind)
            m_queue.back().call = std::move(call);
        else
            m_queue.push_back(Item{std::move(call), kind});
        post = !m_bPosted;
        m_bPosted = true;
    }
    // One posted event drains the whole queue.
    if (post)
        QMetaObject::invokeMethod(this, &CUiInvoker::RunPending, Qt::QueuedConnection);
}

void CUiInvoker::RunPending() {
    for (;;) {
        Item item;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_bPosted = false;
            if (m_bShutdown || m_queue.empty())
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        item.call();
    }
}

void CUiInvoker::Shutdown() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bShutdown = true;
    m_queue.clear();
}

bool CUiInvoker::IsShutDown() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bShutdown;
}

size_t CUiInvoker::Pending() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_queue.size();
}
