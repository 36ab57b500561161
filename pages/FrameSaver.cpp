#include "pages/FrameSaver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "capture/PixelFormat.h"
#include "pages/FrameImage.h"

CFrameSaver::~CFrameSaver() {
    Stop();
}

bool CFrameSaver::Start(const QString& folder, QString& error) {
    Stop();
    const QFileInfo info(folder);
    // A probe file tells more than the permission bits (read-only mounts, ACLs).
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tavix-probe-XXXXXX")));
    if (!info.isDir() || !probe.open()) {
        error = QCoreApplication::translate("CFrameSaver", "无法在文件夹 %1 中保存帧：%2")
                    .arg(folder, info.isDir()
                                     ? probe.errorString()
                                     : QCoreApplication::translate("CFrameSaver", "文件夹不存在"));
        return false;
    }
    probe.close();
    std::lock_guard<std::mutex> lock(m_lock);
    m_status = Status();
    m_status.active = true;
    m_status.folder = folder;
    m_stem = QStringLiteral("frame-") +
             QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    m_bStop = false;
    m_thread = std::thread(&CFrameSaver::Run, this);
    return true;
}

void CFrameSaver::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bStop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_lock);
    m_status.active = false;
}

void CFrameSaver::Push(const CFrameCopy& frame) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_status.active || m_bStop)
            return;
        if (m_queuedBytes + frame.bytes.size() > kQueueBytes) {
            ++m_status.dropped;
            return;
        }
        m_queue.push_back(frame);
        m_queuedBytes += frame.bytes.size();
    }
    m_cv.notify_one();
}

CFrameSaver::Status CFrameSaver::GetStatus() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_status;
}

void CFrameSaver::Run() {
    uint64_t number = 0;
    for (;;) {
        CFrameCopy frame;
        QString folder, stem;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_cv.wait(lock, [&] { return m_bStop || !m_queue.empty(); });
            if (m_queue.empty())
                return;  // stopped, everything queued is saved
            frame = std::move(m_queue.front());
            m_queue.pop_front();
            m_queuedBytes -= frame.bytes.size();
            folder = m_status.folder;
            stem = m_stem;
        }
        // A JPEG frame as the board sent it, any other as a picture.
        const QString suffix = stream::Info(frame.Encoding()).compressed ? QStringLiteral("jpg")
                               : frame.format == pixel::kGray            ? QStringLiteral("pgm")
                                                                         : QStringLiteral("ppm");
        const QString path = QDir(folder).filePath(QStringLiteral("%1-%2.%3")
                                                       .arg(stem)
                                                       .arg(++number, 6, 10, QLatin1Char('0'))
                                                       .arg(suffix));
        QString error;
        const bool saved = frameimage::Save(path, frame, error);
        std::lock_guard<std::mutex> lock(m_lock);
        if (saved) {
            ++m_status.saved;
            continue;
        }
        // The capture goes on; saving stops here, and what is queued goes.
        m_status.error = error;
        m_status.active = false;
        m_status.dropped += m_queue.size();
        m_queue.clear();
        m_queuedBytes = 0;
        return;
    }
}
