// A capture page that records every call the engine makes into it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/CaptureBase.h"

// The record outlives the page, so a test can read it after destroying one.
struct PageLog {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> calls;  // "status:<text>", "begin", "end", "clearPicture", ...
    std::string listing;             // AppendValue as the grayscale page lists: '1'/'0', '\n'
    int threshold = 100;

    void Add(std::string call) {
        {
            std::lock_guard<std::mutex> g(lock);
            calls.push_back(std::move(call));
        }
        changed.notify_all();
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> g(lock);
        return calls;
    }
    std::string Listing() {
        std::lock_guard<std::mutex> g(lock);
        return listing;
    }
    size_t Count(const std::string& call) {
        std::lock_guard<std::mutex> g(lock);
        size_t n = 0;
        for (const auto& c : calls)
            n += c == call;
        return n;
    }
    // Waits until `call` has been recorded `times` times.
    bool WaitFor(const std::string& call, size_t times = 1,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        std::unique_lock<std::mutex> g(lock);
        return changed.wait_for(g, timeout, [&] {
            size_t n = 0;
            for (const auto& c : calls)
                n += c == call;
            return n >= times;
        });
    }
};

class FakePage : public CCaptureBase {
public:
    // Every complete row is drawn by a pass of its own, so that a test sees
    // each as soon as it is polled.
    explicit FakePage(std::shared_ptr<PageLog> log = std::make_shared<PageLog>()) : log(log) {
        m_passInterval = std::chrono::milliseconds(0);
    }
    ~FakePage() override {
        ShutdownEngine();
        log->Add("destroyed");
    }

    void ShowStatus(std::string text) override { log->Add("status:" + text); }
    void OnCaptureBegin() override { log->Add("begin"); }
    void OnCaptureEnd() override { log->Add("end"); }
    void ClearPicture() override {
        m_wndPicture.Fill(0xF0F0F0);
        log->Add("clearPicture");
    }
    void ClearValueList() override {
        {
            std::lock_guard<std::mutex> g(log->lock);
            log->listing.clear();
        }
        log->Add("clearValues");
    }
    void AppendValue(uint8_t value, int endOfRow) override {
        std::lock_guard<std::mutex> g(log->lock);
        if (endOfRow)
            log->listing += '\n';
        else
            log->listing += value > log->threshold ? '1' : '0';
    }

    // Sets the parameters a page sets before starting.
    void Configure(uint32_t rows, uint32_t columns, int mode, uint8_t format = 0,
                   int areaWidth = 400, int areaHeight = 300) {
        m_nRows = rows;
        m_nColumns = columns;
        m_nMode = mode;
        m_byFormat = format;
        m_nAreaWidth = areaWidth;
        m_nAreaHeight = areaHeight;
        m_bShowImage = 1;
        m_wndPicture.Resize(areaWidth, areaHeight);
    }

    std::shared_ptr<PageLog> log;
    bool failAllocation = false;

protected:
    std::unique_ptr<uint8_t[]> AllocateBuffer(uint32_t size) override {
        if (failAllocation)
            return nullptr;
        return CCaptureBase::AllocateBuffer(size);
    }
};
