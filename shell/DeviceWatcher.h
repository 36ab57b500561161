// Tells the main window when a serial device comes or goes. Linux has no
// device-change broadcast for a plain program, so this watches the folders
// where the 15 ports' device files live (/dev, the folders of the links of
// section "Ports", and of a device path the user typed), waits until changes have settled for about
// 300 ms, and reports a change when any of the ports' device files appeared, vanished or now points
// elsewhere. Unrelated files in the same folders are ignored.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

class CDeviceWatcher : public QObject {
    Q_OBJECT

public:
    explicit CDeviceWatcher(QObject* parent = nullptr);

    // (Re)reads the device paths of COM1..COM15 and watches their folders.
    void Refresh();
    // Device paths watched beside the 15 ports' (a path the user typed).
    void SetExtraDevices(const QStringList& paths);
    // The folders watched now.
    QStringList WatchedFolders() const;

    static constexpr int kSettleMs = 300;

signals:
    void deviceChanged();

private:
    void WatchFolders();
    void OnFolderChanged();
    void OnSettled();
    // The 15 ports' device paths and the extra ones.
    QStringList DevicePaths() const;
    // What the device paths look like now: existence, device number and
    // link target of each.
    QString Fingerprint() const;

    QFileSystemWatcher* m_watcher;
    QTimer m_settle;
    QString m_fingerprint;
    QStringList m_extraDevices;
};
