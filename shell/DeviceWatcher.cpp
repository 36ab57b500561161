#include "shell/DeviceWatcher.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <set>

#include "serial/PortDevices.h"

namespace {

constexpr int kPortCount = 15;

}  // namespace

CDeviceWatcher::CDeviceWatcher(QObject* parent)
    : QObject(parent), m_watcher(new QFileSystemWatcher(this)) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &CDeviceWatcher::OnSettled);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &CDeviceWatcher::OnFolderChanged);
    Refresh();
}

void CDeviceWatcher::Refresh() {
    WatchFolders();
    m_fingerprint = Fingerprint();
}

void CDeviceWatcher::SetExtraDevices(const QStringList& paths) {
    m_extraDevices = paths;
    Refresh();
}

QStringList CDeviceWatcher::DevicePaths() const {
    QStringList paths;
    for (int n = 1; n <= kPortCount; ++n)
        paths << QString::fromStdString(PortDevicePath(n));
    return paths + m_extraDevices;
}

void CDeviceWatcher::WatchFolders() {
    std::set<QString> folders;
    for (const QString& path : DevicePaths()) {
        if (path.isEmpty())
            continue;
        const QString folder = QFileInfo(path).absolutePath();
        if (QFileInfo(folder).isDir())
            folders.insert(folder);
    }
    const QStringList old = m_watcher->directories();
    if (!old.isEmpty())
        m_watcher->removePaths(old);
    for (const QString& folder : folders)
        m_watcher->addPath(folder);
}

QStringList CDeviceWatcher::WatchedFolders() const {
    return m_watcher->directories();
}

void CDeviceWatcher::OnFolderChanged() {
    // A plugged adapter creates several files in quick succession; one
    // report after they have settled.
    m_settle.start();
}

void CDeviceWatcher::OnSettled() {
    // A folder of a link may have appeared with the device (/dev/serial/by-id).
    WatchFolders();
    const QString now = Fingerprint();
    if (now == m_fingerprint)
        return;
    m_fingerprint = now;
    emit deviceChanged();
}

QString CDeviceWatcher::Fingerprint() const {
    QString text;
    for (const QString& device : DevicePaths()) {
        const std::string path = device.toStdString();
        struct stat st {};
        const bool exists = !path.empty() && ::stat(path.c_str(), &st) == 0;
        text += device;
        text +=
            exists ? QStringLiteral(":%1,%2").arg(st.st_rdev).arg(st.st_ino) : QStringLiteral(":-");
        text += QLatin1Char(':') + QFileInfo(QString::fromStdString(path)).symLinkTarget();
        text += QLatin1Char(';');
    }
    return text;
}
