// Tells the main window when a serial device comes or goes. Linux has no
// device-change broadcast for a plain program, so this watches the folders
// where the 15 ports' device files live (/dev, and the folders of the links
// of section "Ports"), waits until changes have settled for about 300 ms, and
// reports a change when any of the ports' device files appeared, vanished or
// now points elsewhere. Unrelated files in the same folders are ignored.
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
    // The folders watched now.
    QStringList WatchedFolders() const;

    static constexpr int kSettleMs = 300;

signals:
    void deviceChanged();

private:
    void WatchFolders();
    void OnFolderChanged();
    void OnSettled();
    // What the 15 device paths look like now: existence, device number and
    // link target of each.
    static QString Fingerprint();

    QFileSystemWatcher* m_watcher;
    QTimer m_settle;
    QString m_fingerprint;
};
