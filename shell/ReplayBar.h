// Replaying a recording in the main window: the recording plays down a
// pseudo-terminal of its own, the port owner opens that line instead of the
// chosen port, and the page of the recording's format captures continuously
// from it with the recording's sizes and header byte, exactly as from a live
// board. The bar offers pause, one frame, restart, fastest, and the end.
#pragma once

#include <QTimer>
#include <QToolBar>
#include <memory>

#include "capture/ReplayPlayer.h"
#include "stream/StreamFormat.h"

class CCapturePage;
class CPortOwner;
class CTavixToolView;
class QAction;
class QLabel;

class CReplayBar : public QToolBar {
    Q_OBJECT

public:
    CReplayBar(CPortOwner& owner, CTavixToolView& view, QWidget* parent);
    ~CReplayBar() override;

    // Ends a replay under way, then replays `path`. False with a message
    // when the file is no recording or its page cannot capture.
    bool Start(const QString& path, QString& error);
    // Stops the page's capture and the playing, and gives the port back to
    // the serial settings bar's choice. Idempotent.
    void End();
    // "重新开始": the playing and the page's capture both start again, so
    // nothing of the frame under way reaches the first frame, and the link's
    // totals count from zero. Pause and pace stay as they are.
    void Restart();
    bool IsReplaying() const { return m_page != nullptr; }
    CReplayPlayer& Player() { return m_player; }
    CCapturePage* Page() const { return m_page; }
    // "回放 12.3 / 30.2 秒 …" as the bar shows it.
    QString ProgressText() const;

    QAction* m_actPause = nullptr;
    QAction* m_actStep = nullptr;
    QAction* m_actRestart = nullptr;
    QAction* m_actFast = nullptr;
    QAction* m_actEnd = nullptr;

private:
    void UpdateProgress();
    // Starts the page's capture and then the playing, which writes its first
    // byte once the capture has purged the line. False when the page did
    // not start (its status line says why).
    bool StartCaptureAndPlayer(bool fast, bool paused);

    CPortOwner& m_owner;
    CTavixToolView& m_view;
    CReplayPlayer m_player;
    CCapturePage* m_page = nullptr;
    // The page's header byte and size boxes before the replay, given back at
    // its end.
    uint8_t m_savedHeader = 255;
    stream::CStreamFormat m_savedFormat;
    int m_savedWholeFrames = 0;  // the page's "只显示完整帧"
    QString m_savedRows, m_savedColumns;
    QString m_strName;
    QLabel* m_progress = nullptr;
    QTimer m_timer;
};
