#include "tools/capture/FrameOutput.h"

#include "capture/FrameFiles.h"
#include "tools/capture/CaptureOptions.h"

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

CFrameOutput::~CFrameOutput() {
    Finish();
}

void CFrameOutput::Start(const Settings& settings) {
    m_settings = settings;
    std::string ignored;
    CheckPattern(settings.out, m_outNumbered, ignored);
    CheckPattern(settings.listing, m_listingNumbered, ignored);
    m_thread = std::thread(&CFrameOutput::Run, this);
}

void CFrameOutput::Push(const Taken& taken, std::shared_ptr<const CFrameCopy> frame) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_finished)
            return;
        const size_t size = frame ? frame->bytes.size() + frame->decoded.size() : 0;
        if (frame && m_queuedBytes + size > kQueueBytes) {
            ++m_dropped;
            frame.reset();
        }
        m_queuedBytes += frame ? size : 0;
        m_queue.emplace_back(taken, std::move(frame));
    }
    m_cv.notify_one();
}

void CFrameOutput::Finish() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_finished)
            return;
        m_stop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    // The last frame for a name without a number.
    bool failed;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        failed = !m_error.empty();
        m_finished = true;
    }
    if (m_last && !failed) {
        if (!m_settings.out.empty() && !m_outNumbered)
            Write(m_settings.out, false, *m_last, m_lastIndex, nullptr);
        if (!m_settings.listing.empty() && !m_listingNumbered)
            Write(m_settings.listing, true, *m_last, m_lastIndex, nullptr);
    }
    m_last.reset();
}

bool CFrameOutput::Write(const std::string& pattern, bool listing, const CFrameCopy& frame,
                         uint64_t index, std::string* name) {
    const std::string path = PatternName(pattern, index);
    std::string error;
    bool ok;
    if (listing) {
        const std::string text = framefile::ListingText(frame, m_settings.threshold);
        ok = framefile::WriteWhole(path, std::vector<uint8_t>(text.begin(), text.end()), error);
    } else {
        ok = framefile::Save(path, frame, error);
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (!ok) {
        if (m_error.empty())
            m_error = error;
        return false;
    }
    ++m_written;
    if (name != nullptr)
        *name = path;
    return true;
}

void CFrameOutput::Run() {
    for (;;) {
        std::pair<Taken, std::shared_ptr<const CFrameCopy>> item;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_cv.wait(lock, [&] { return m_stop || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
            if (item.second)
                m_queuedBytes -= item.second->bytes.size() + item.second->decoded.size();
        }
        const Taken& t = item.first;
        std::string file;
        bool ok;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            ok = m_error.empty();
        }
        if (item.second && ok) {
            if (!m_settings.out.empty() && m_outNumbered)
                ok = Write(m_settings.out, false, *item.second, t.index, &file);
            if (ok && !m_settings.listing.empty() && m_listingNumbered)
                ok = Write(m_settings.listing, true, *item.second, t.index, nullptr);
            m_last = item.second;
            m_lastIndex = t.index;
        }
        if (m_settings.json) {
            std::fprintf(
                m_settings.jsonTo,
                "{\"index\":%llu,\"time\":%.6f,\"bytes\":%llu,\"latencyMs\":%.3f,"
                "\"rows\":%u,\"columns\":%u%s%s}\n",
                static_cast<unsigned long long>(t.index), t.seconds,
                static_cast<unsigned long long>(t.bytes),
                static_cast<double>(t.latencyMicroseconds) / 1000.0, t.rows, t.columns,
                file.empty() ? "" : ",\"file\":", file.empty() ? "" : JsonString(file).c_str());
            std::fflush(m_settings.jsonTo);
        }
    }
}

uint64_t CFrameOutput::FilesWritten() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_written;
}

uint64_t CFrameOutput::Dropped() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_dropped;
}

std::string CFrameOutput::Error() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_error;
}
