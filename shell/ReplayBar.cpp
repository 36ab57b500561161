#include "shell/ReplayBar.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include "pages/BlackPage.h"
#include "pages/ColourPage.h"
#include "pages/ControlIds.h"
#include "serial/PortOwner.h"
#include "shell/TavixToolView.h"
#include "stream/StreamFormat.h"

namespace {

bool Capturing(const CCapturePage* page) {
    for (int id : {IDC_CAPTURE_ONE, IDC_CAPTURE_CONTINUOUS, IDC_COLOUR_CAPTURE_CONTINUOUS})
        if (auto* button = qobject_cast<QPushButton*>(page->Control(id)))
            if (button->text() == CCapturePage::StopText())
                return true;
    return false;
}

// Stops a page's capture as its running button would. With `wait`, returns
// once the page has its buttons back, so that a capture can start at once:
// the page takes its worker's end from the event queue, so events other than
// the user's are handled meanwhile (at most 3 s).
void StopCapture(CCapturePage* page, bool wait) {
    if (!Capturing(page))
        return;
    for (int id : {IDC_CAPTURE_ONE, IDC_CAPTURE_CONTINUOUS, IDC_COLOUR_CAPTURE_CONTINUOUS})
        if (auto* button = qobject_cast<QPushButton*>(page->Control(id)))
            if (button->text() == CCapturePage::StopText())
                button->click();
    QElapsedTimer waited;
    waited.start();
    while (wait && Capturing(page) && waited.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
}

}  // namespace

CReplayBar::CReplayBar(CPortOwner& owner, CTavixToolView& view, QWidget* parent)
    : QToolBar(tr("回放"), parent), m_owner(owner), m_view(view) {
    setObjectName(QStringLiteral("ReplayBar"));
    m_actPause = addAction(tr("暂停"));
    m_actPause->setCheckable(true);
    connect(m_actPause, &QAction::toggled, this, [this](bool on) {
        m_player.SetPaused(on);
        m_actStep->setEnabled(on);
    });
    m_actStep = addAction(tr("单步"));
    m_actStep->setToolTip(tr("暂停时再放一帧的数据"));
    m_actStep->setEnabled(false);
    connect(m_actStep, &QAction::triggered, this, [this] { m_player.Step(); });
    m_actRestart = addAction(tr("重新开始"));
    connect(m_actRestart, &QAction::triggered, this, [this] { Restart(); });
    m_actFast = addAction(tr("最快"));
    m_actFast->setCheckable(true);
    m_actFast->setToolTip(tr("不按录制时的节奏，页面能收多快就放多快"));
    connect(m_actFast, &QAction::toggled, this, [this](bool on) { m_player.SetFast(on); });
    m_actEnd = addAction(tr("结束回放"));
    connect(m_actEnd, &QAction::triggered, this, [this] { End(); });
    addSeparator();
    m_progress = new QLabel(this);
    addWidget(m_progress);
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, [this] { UpdateProgress(); });
    hide();
}

CReplayBar::~CReplayBar() {
    End();
}

bool CReplayBar::Start(const QString& path, QString& error) {
    End();
    std::string why;
    if (!m_player.Open(path.toStdString(), why)) {
        error = QString::fromStdString(why);
        return false;
    }
    const RecordingHeader& h = m_player.Header();
    const bool colour = h.format == recording::PixelFormat::Colour;
    // The stream format it was recorded in; the header byte's when it names none.
    stream::CStreamFormat format;
    if (!h.streamFormat.empty() && !stream::FormatFromText(h.streamFormat, format, &why)) {
        error = tr("录制文件中的数据格式“%1”无法识别：%2")
                    .arg(QString::fromStdString(h.streamFormat), QString::fromStdString(why));
        return false;
    }
    // The board is not there: nothing is sent to it.
    format.requestAtStart.clear();
    format.requestPerFrame.clear();
    format.requestAtStop.clear();
    CCapturePage* page = colour ? static_cast<CCapturePage*>(m_view.m_pColourPage)
                                : static_cast<CCapturePage*>(m_view.m_pBlackPage);
    if (page == nullptr) {
        error = tr("页面尚未创建，无法回放");
        return false;
    }
    // Both pages stop: the port is about to become the replay's line.
    for (CCapturePage* p : m_view.CapturePages())
        StopCapture(p, true);
    m_owner.ClosePort();
    m_owner.SetReplayDevice(m_player.DevicePath(), static_cast<int>(h.baud));
    m_view.ShowPage(colour ? CTavixToolView::kColourPageId : CTavixToolView::kBlackPageId);
    auto* rows = qobject_cast<QLineEdit*>(page->Control(IDC_ROWS));
    auto* columns = qobject_cast<QLineEdit*>(page->Control(IDC_COLUMNS));
    m_savedRows = rows->text();
    m_savedColumns = columns->text();
    rows->setText(QString::number(h.rows));
    columns->setText(QString::number(h.columns));
    m_savedHeader = page->m_byHeader;
    page->m_byHeader = h.headerByte;
    m_savedFormat = page->m_streamFormat;
    page->m_streamFormat = format;
    m_page = page;
    // A replay shows whole frames only, so that wherever it ends or is
    // ended the picture is the last whole frame.
    m_savedWholeFrames = page->m_bWholeFramesOnly;
    page->m_bWholeFramesOnly = 1;
    m_player.SetProgressProbe([page] {
        const CLinkStatistics st = page->GetLinkStatistics();
        return st.framesDrawn + st.framesSkipped;
    });
    if (!StartCaptureAndPlayer(false, false)) {
        error = tr("页面无法开始采集：%1")
                    .arg(qobject_cast<QLabel*>(page->Control(IDC_STATUS))->text());
        End();
        return false;
    }
    {
        const QSignalBlocker a(m_actPause), b(m_actFast);
        m_actPause->setChecked(false);
        m_actFast->setChecked(false);
    }
    m_actStep->setEnabled(false);
    m_strName = QFileInfo(path).fileName();
    m_timer.start();
    UpdateProgress();
    show();
    return true;
}

bool CReplayBar::StartCaptureAndPlayer(bool fast, bool paused) {
    const bool colour = m_player.Header().format == recording::PixelFormat::Colour;
    auto* button = qobject_cast<QPushButton*>(
        m_page->Control(colour ? IDC_COLOUR_CAPTURE_CONTINUOUS : IDC_CAPTURE_CONTINUOUS));
    // The capture purges the line once its worker runs; the playing waits
    // for that, or the purge would take the first frame's bytes.
    const uint64_t purges = m_owner.m_port.PurgeCount();
    m_player.SetStartGate([this, purges] { return m_owner.m_port.PurgeCount() > purges; });
    m_page->OnCaptureContinuous();
    if (button->text() != CCapturePage::StopText())
        return false;
    m_player.Start(fast, paused);
    return true;
}

void CReplayBar::Restart() {
    if (m_page == nullptr)
        return;
    // Nothing more of this playing goes down the line; the page's capture
    // ends, and with it the frame it was receiving. Then both start again.
    m_player.Stop();
    StopCapture(m_page, true);
    if (!StartCaptureAndPlayer(m_actFast->isChecked(), m_actPause->isChecked()))
        m_progress->setText(
            tr("无法重新开始：%1").arg(qobject_cast<QLabel*>(m_page->Control(IDC_STATUS))->text()));
}

void CReplayBar::End() {
    if (m_page == nullptr)
        return;
    StopCapture(m_page, false);
    m_player.Stop();
    m_owner.ClosePort();
    m_owner.SetReplayDevice(std::string(), 0);
    m_page->m_byHeader = m_savedHeader;
    m_page->m_streamFormat = m_savedFormat;
    m_page->m_bWholeFramesOnly = m_savedWholeFrames;
    qobject_cast<QLineEdit*>(m_page->Control(IDC_ROWS))->setText(m_savedRows);
    qobject_cast<QLineEdit*>(m_page->Control(IDC_COLUMNS))->setText(m_savedColumns);
    m_page = nullptr;
    m_timer.stop();
    hide();
}

QString CReplayBar::ProgressText() const {
    const CReplayPlayer::Progress p = m_player.GetProgress();
    const QString pattern = p.finished ? tr("回放 %1：%2 / %3 秒（已放完）")
                            : p.paused ? tr("回放 %1：%2 / %3 秒（暂停）")
                                       : tr("回放 %1：%2 / %3 秒");
    QString text = pattern.arg(m_strName, QString::number(p.playedMicroseconds / 1e6, 'f', 1),
                               QString::number(p.totalMicroseconds / 1e6, 'f', 1));
    if (!p.cutText.empty())
        text += QStringLiteral("  ") + QString::fromStdString(p.cutText);
    return text;
}

void CReplayBar::UpdateProgress() {
    m_progress->setText(ProgressText());
}
