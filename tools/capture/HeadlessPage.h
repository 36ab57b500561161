// A capture page without a window: the engine's worker, reception and
// drawing passes run as in the window, the picture goes to a memory surface
// and the page's texts to a log the command line reads.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "capture/CaptureBase.h"

class CHeadlessPage : public CCaptureBase {
public:
    CHeadlessPage() = default;
    ~CHeadlessPage() override { ShutdownEngine(); }

    void ShowStatus(std::string text) override;
    void OnCaptureBegin() override { m_begun = true; }
    void OnCaptureEnd() override { m_ended = true; }
    void ClearPicture() override { m_wndPicture.Fill(0xF0F0F0); }
    void ClearValueList() override {}
    void AppendValue(uint8_t, int) override {}

    // The last status text the engine showed other than the welcome.
    std::string LastStatus() const;

    std::atomic<bool> m_begun{false};
    std::atomic<bool> m_ended{false};

private:
    mutable std::mutex m_lock;
    std::string m_status;
};
