// The main window offscreen: start-up state, the serial settings bar with
// real pseudo-terminals mapped to port numbers, device changes, navigation,
// the close order, a capture that opens the port through the window, and the
// document and printing commands.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <atomic>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "capture/RecordingWriter.h"
#include "help/HtmlHelp.h"
#include "pages/BlackPage.h"
#include "pages/ColourPage.h"
#include "pages/ControlIds.h"
#include "serial/PortDevices.h"
#include "serial/PortSelection.h"
#include "settings/PortsSection.h"
#include "settings/ProfileFile.h"
#include "shell/DeviceWatcher.h"
#include "shell/MainFrame.h"
#include "shell/ReplayBar.h"
#include "shell/TavixToolDoc.h"
#include "shell/TavixToolView.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/PseudoTerminal.h"
#include "ui/TaskPanel.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(dir.isValid());
        settings = dir.filePath("DevSet.ini").toStdString();
        std::remove(settings.c_str());
        QVERIFY(QDir().mkpath(dir.filePath("ports")));
        boardA.Close();
        boardB.Close();
        QVERIFY(boardA.Open());
        QVERIFY(boardB.Open());
        // COM4 and COM12 are the two boards, through links as a user would
        // set them up; every other port number names a missing device.
        std::ofstream ini(settings);
        ini << "[Ports]\n";
        for (int n = 1; n <= 15; ++n)
            ini << "com" << n << "=" << Link(n) << "\n";
        ini.close();
        QVERIFY(boardA.MakeLink(Link(4)));
        QVERIFY(boardB.MakeLink(Link(12)));
        SetPortDevicePaths(ReadPortsSection(settings));
        messages.clear();
    }
    void cleanup() {
        frame.reset();
        for (int n = 1; n <= 15; ++n)
            SetPortDevicePath(n, "");
        boardA.Close();
        boardB.Close();
    }

    void startUpState() {
        WriteCom("2", "115", "9600,115200");
        MakeFrame();
        QCOMPARE(frame->windowTitle(), QStringLiteral("TAVIX飞思卡尔专营-摄像头测试工具"));
        QVERIFY(frame->menuWidget() == nullptr);
        QVERIFY(frame->isMaximized());
        QCOMPARE(frame->normalGeometry().size(), QSize(840, 820));

        // The main toolbar with the help button, then the serial settings
        // bar on the same row to its right.
        QCOMPARE(frame->toolBarArea(frame->m_wndToolBar), Qt::TopToolBarArea);
        QCOMPARE(frame->toolBarArea(frame->m_wndSerialBar), Qt::TopToolBarArea);
        QVERIFY(!frame->toolBarBreak(frame->m_wndSerialBar));
        QCOMPARE(frame->m_wndSerialBar->y(), frame->m_wndToolBar->y());
        QVERIFY(frame->m_wndSerialBar->x() >= frame->m_wndToolBar->geometry().right());
        QCOMPARE(frame->m_wndToolBar->actions().size(), 1);
        QCOMPARE(frame->m_wndSerialBar->windowTitle(), QStringLiteral("串口设置"));
        QWidget* baud = frame->m_wndBaudCombo;
        QWidget* port = frame->m_wndPortCombo;
        QCOMPARE(baud->width(), 200);
        QCOMPARE(port->width(), 200);
        QVERIFY(baud->x() < port->x());
        QWidget* open = frame->m_wndSerialBar->widgetForAction(frame->m_actPortOpen);
        QWidget* close = frame->m_wndSerialBar->widgetForAction(frame->m_actPortClose);
        QVERIFY(port->geometry().right() < open->x());
        QVERIFY(open->x() < close->x());
        QVERIFY(frame->m_wndBaudCombo->isEditable());
        QVERIFY(!frame->m_wndPortCombo->isEditable());

        // The lists: probed ports, saved rates, saved choices.
        QCOMPARE(Items(frame->m_wndPortCombo), QStringList({"请选择串口", "COM4", "COM12"}));
        QCOMPARE(frame->m_wndPortCombo->currentIndex(), 2);
        QCOMPARE(Items(frame->m_wndBaudCombo), QStringList({"请选择波特率", "9600", "115200"}));
        QCOMPARE(frame->m_wndBaudCombo->currentIndex(), 2);

        // The status bar and the navigation column.
        QCOMPARE(frame->m_wndMessage->text(), QStringLiteral("就绪"));
        QCOMPARE(frame->m_wndSplitter->sizes().at(0), 210);
        QCOMPARE(frame->m_wndTaskPanel->minimumWidth(), 0);
        QCOMPARE(frame->m_wndTaskPanel->ItemIds(CMainFrame::kTaskGroupId),
                 std::vector<int>({61447, 61448}));

        // The start picture is shown, the pages exist and are hidden.
        CTavixToolView* view = frame->GetActiveView();
        QVERIFY(!view->m_bPageShown);
        QVERIFY(view->m_pBlackPage != nullptr && !view->m_pBlackPage->isVisible());
        QVERIFY(view->m_pColourPage != nullptr && !view->m_pColourPage->isVisible());
        const QImage shot = view->viewport()->grab().toImage();
        QCOMPARE(shot.pixel(40, 30), view->m_bmpStart.pixel(40, 30));

        // Without an X11 display the lock indicators are shown greyed.
        for (QLabel* label : frame->m_wndIndicators)
            QVERIFY(!label->isEnabled());
        QCOMPARE(frame->m_wndIndicators[0]->text(), QStringLiteral("大写"));
        QCOMPARE(frame->m_wndIndicators[1]->text(), QStringLiteral("数字"));
        QCOMPARE(frame->m_wndIndicators[2]->text(), QStringLiteral("滚动"));
    }

    void savedPortIndexBeyondTheListSelectsNothing() {
        WriteCom("3", "38400", "");
        MakeFrame();
        QCOMPARE(frame->m_wndPortCombo->currentIndex(), -1);
        // The default rates when "baunds" is empty, 38400 preselected.
        QCOMPARE(frame->m_wndBaudCombo->count(), 1);
        QCOMPARE(frame->m_wndBaudCombo->currentIndex(), 0);
    }

    void openAndCloseButtons() {
        MakeFrame();
        QVERIFY(frame->m_actPortOpen->isEnabled());
        QVERIFY(!frame->m_actPortClose->isEnabled());

        // The default list preselects 38400; no port chosen yet.
        frame->m_wndPortCombo->setCurrentIndex(0);
        frame->m_actPortOpen->trigger();
        QCOMPARE(messages, QStringList({"TavixTool|请选择串口号!"}));
        QVERIFY(frame->m_actPortOpen->isEnabled());

        frame->m_wndBaudCombo->setCurrentIndex(0);
        frame->m_wndPortCombo->setCurrentIndex(1);
        frame->m_actPortOpen->trigger();
        QCOMPARE(messages.last(), QStringLiteral("TavixTool|请选择波特率!"));

        // A rate typed into the field, not in the list, is the choice.
        TypeBaud("57600");
        frame->m_actPortOpen->trigger();
        QCOMPARE(messages.size(), 2);
        QVERIFY(frame->IsPortOpen());
        QVERIFY(!frame->m_actPortOpen->isEnabled());
        QVERIFY(frame->m_actPortClose->isEnabled());
        // The board's port is the open one.
        QVERIFY(!ProbePort(4));

        frame->m_actPortClose->trigger();
        QVERIFY(!frame->IsPortOpen());
        QVERIFY(frame->m_actPortOpen->isEnabled());
        QVERIFY(!frame->m_actPortClose->isEnabled());

        // A listed port whose device has gone: the open fails with its numbers.
        frame->m_wndPortCombo->setCurrentIndex(2);
        std::remove(Link(12).c_str());
        frame->m_actPortOpen->trigger();
        QCOMPARE(messages.last(),
                 QStringLiteral("TavixTool|打开串口失败!串口号 12 ，波特率 57600 \n设备 ") +
                     QString::fromStdString(Link(12)) +
                     QStringLiteral(" 不存在：摄像头板没有连接，或已被拔出。"));
        QVERIFY(!frame->IsPortOpen());
    }

    void deviceChangeRebuildsTheListWhilePortOpen() {
        MakeFrame();
        frame->m_wndPortCombo->setCurrentIndex(1);
        QCOMPARE(frame->OpenPort(), 1);

        // A third board appears as COM7.
        camsim::PseudoTerminal boardC;
        QVERIFY(boardC.Open());
        QVERIFY(boardC.MakeLink(Link(7)));
        // The open COM4 cannot be probed, yet it is this program's and stays
        // in the list; the prompt is selected and the open port stays open.
        QTRY_COMPARE_WITH_TIMEOUT(Items(frame->m_wndPortCombo),
                                  QStringList({"请选择串口", "COM4", "COM7", "COM12"}), 3000);
        QCOMPARE(frame->m_wndPortCombo->currentIndex(), 0);
        QVERIFY(frame->IsPortOpen());

        // It goes again.
        frame->m_wndPortCombo->setCurrentIndex(2);
        boardC.Close();
        QTRY_COMPARE_WITH_TIMEOUT(Items(frame->m_wndPortCombo),
                                  QStringList({"请选择串口", "COM4", "COM12"}), 3000);
        QCOMPARE(frame->m_wndPortCombo->currentIndex(), 0);
        QVERIFY(frame->IsPortOpen());
    }

    void unrelatedFilesAreNoDeviceChange() {
        MakeFrame();
        frame->m_wndPortCombo->setCurrentIndex(2);
        std::ofstream(dir.filePath("notes.txt").toStdString()) << "x";
        QTest::qWait(CDeviceWatcher::kSettleMs + 300);
        QCOMPARE(frame->m_wndPortCombo->currentIndex(), 2);
        // A direct call is a device change of any kind.
        QCOMPARE(frame->OnDeviceChange(), 1);
        QCOMPARE(frame->m_wndPortCombo->currentIndex(), 0);
    }

    void navigation() {
        MakeFrame();
        CTavixToolView* view = frame->GetActiveView();
        QWidget* black = view->m_pBlackPage;
        QWidget* colour = view->m_pColourPage;

        // A click on the group's caption is another notification: no change.
        QTest::mouseClick(frame->m_wndTaskPanel->Item(CMainFrame::kTaskGroupId), Qt::LeftButton);
        QVERIFY(!view->m_bPageShown);
        QCOMPARE(frame->OnTaskPanelNotify(2, 61447), 0);
        QVERIFY(!view->m_bPageShown);
        // Only the two page ids switch pages.
        frame->OnTaskPanelNotify(1, 61449);
        QVERIFY(!view->m_bPageShown);

        // The group was collapsed by the click above; open it again.
        QTest::mouseClick(frame->m_wndTaskPanel->Item(CMainFrame::kTaskGroupId), Qt::LeftButton);
        QTest::mouseClick(frame->m_wndTaskPanel->Item(61447), Qt::LeftButton);
        QVERIFY(view->m_bPageShown);
        QVERIFY(black->isVisible() && black->isEnabled());
        QVERIFY(!colour->isVisible() && !colour->isEnabled());

        QTest::mouseClick(frame->m_wndTaskPanel->Item(61448), Qt::LeftButton);
        QVERIFY(colour->isVisible() && colour->isEnabled());
        QVERIFY(!black->isVisible() && !black->isEnabled());

        QTest::mouseClick(frame->m_wndTaskPanel->Item(61448), Qt::LeftButton);
        QVERIFY(colour->isVisible() && colour->isEnabled());
        QVERIFY(!black->isVisible());
    }

    void closeWritesComThenThePagesSections() {
        MakeFrame();
        frame->m_wndPortCombo->setCurrentIndex(1);
        TypeBaud("57600");
        QCOMPARE(frame->OpenPort(), 1);
        frame->close();
        // The close request wrote section "Com" only.
        std::string text = ReadAll(settings);
        QVERIFY(text.find("[Com]") != std::string::npos);
        QVERIFY(text.find("[Black]") == std::string::npos);
        QCOMPARE(ReadProfileString("Com", "baund", "", settings), std::string("57600"));
        QCOMPARE(ReadProfileInt("Com", "com", -1, settings), 1);
        QCOMPARE(ReadProfileString("Com", "baunds", "", settings),
                 std::string(",2400,4800,9600,14400,19200,38400,57600"));
        // Destroying the window: the pages write theirs, the port handle is
        // left to the end of the process, no port setting is written again.
        frame.reset();
        text = ReadAll(settings);
        QVERIFY(text.find("[Black]") != std::string::npos);
        QVERIFY(text.find("[Colour]") != std::string::npos);
        QVERIFY(text.find("[Com]") < text.find("[Black]"));
        QVERIFY(GetPortOwner() == nullptr);

        // The next start offers and preselects the typed rate.
        MakeFrame();
        QCOMPARE(frame->m_wndBaudCombo->currentText(), QStringLiteral("57600"));
        QCOMPARE(frame->m_wndBaudCombo->currentIndex(), frame->m_wndBaudCombo->count() - 1);
    }

    void captureOpensThePortThroughTheWindow() {
        MakeFrame();
        TypeBaud("115200");
        frame->m_wndPortCombo->setCurrentIndex(2);  // COM12, board B
        CTavixToolView* view = frame->GetActiveView();
        view->ShowPage(61447);
        CBlackPage* page = view->m_pBlackPage;
        qobject_cast<QLineEdit*>(page->Control(IDC_ROWS))->setText("2");
        qobject_cast<QLineEdit*>(page->Control(IDC_COLUMNS))->setText("2");
        qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_ONE))->click();
        QTRY_VERIFY_WITH_TIMEOUT(frame->IsPortOpen(), 3000);
        QTRY_VERIFY(!frame->m_actPortOpen->isEnabled());
        QTest::qWait(150);
        const uint8_t frameBytes[] = {255, 10, 20, 30, 40};
        QVERIFY(boardB.WriteAll(frameBytes, sizeof frameBytes));
        QTRY_COMPARE_WITH_TIMEOUT(
            qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_ONE))->text(),
            QStringLiteral("采集一幅图"), 5000);
        QCOMPARE(page->m_wndPicture.PixelAt(1, 1), 0x282828u);
    }

    // A recording replays through the page of its format with its sizes and
    // header byte; the end gives the boxes and the port back. A file that is
    // no recording is refused with the reader's message.
    void aRecordingReplaysThroughItsPage() {
        MakeFrame();
        CTavixToolView* view = frame->GetActiveView();
        view->ShowPage(61448);  // the colour page is up; the recording is grayscale
        CBlackPage* page = view->m_pBlackPage;
        auto* rows = qobject_cast<QLineEdit*>(page->Control(IDC_ROWS));
        rows->setText("7");
        const std::string path = dir.filePath("run.tavixrec").toStdString();
        {
            RecordingHeader header;
            header.rows = 2;
            header.columns = 3;
            header.headerByte = 170;
            CRecordingWriter writer;
            std::string error;
            QVERIFY2(writer.Open(path, header, error), error.c_str());
            const uint8_t bytes[] = {9, 170, 1, 2, 3, 4, 5, 6, 170, 60, 61, 62, 63, 64, 65};
            QVERIFY(writer.Write(0, bytes, 8));
            QVERIFY(writer.Write(100000, bytes + 8, 7));
            QVERIFY(writer.Close());
        }
        QString error;
        QVERIFY2(frame->StartReplay(QString::fromStdString(path), error), qPrintable(error));
        QVERIFY(page->isVisible());
        QCOMPARE(rows->text(), QStringLiteral("2"));
        QCOMPARE(page->m_byHeader, uint8_t{170});
        QTRY_COMPARE_WITH_TIMEOUT(page->m_wndPicture.PixelAt(2, 1), 0x414141u, 3000);  // 65
        QTRY_VERIFY(frame->GetReplayBar()->ProgressText().contains("已放完"));
        QCOMPARE(page->GetLinkStatistics().framesDrawn, 2u);
        frame->GetReplayBar()->End();
        QTRY_COMPARE(qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_CONTINUOUS))->text(),
                     QStringLiteral("连续采集"));
        QCOMPARE(rows->text(), QStringLiteral("7"));
        QCOMPARE(page->m_byHeader, uint8_t{255});
        QVERIFY(frame->ReplayDevice().empty());
        QVERIFY(!frame->IsPortOpen());

        std::ofstream(dir.filePath("not.tavixrec").toStdString()) << "hello";
        QVERIFY(!frame->StartReplay(dir.filePath("not.tavixrec"), error));
        QVERIFY2(error.contains("不是"), qPrintable(error));
    }

    // A replay opened while the page captures from a live port takes the
    // page over: the live capture ends and the recording's frames are drawn.
    void aReplayTakesOverARunningCapture() {
        MakeFrame();
        TypeBaud("115200");
        frame->m_wndPortCombo->setCurrentIndex(2);  // COM12, board B (silent)
        CTavixToolView* view = frame->GetActiveView();
        view->ShowPage(61447);
        CBlackPage* page = view->m_pBlackPage;
        qobject_cast<QLineEdit*>(page->Control(IDC_ROWS))->setText("2");
        qobject_cast<QLineEdit*>(page->Control(IDC_COLUMNS))->setText("2");
        auto* button = qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_CONTINUOUS));
        button->click();
        QTRY_VERIFY_WITH_TIMEOUT(frame->IsPortOpen(), 3000);
        QCOMPARE(button->text(), QStringLiteral("停止采集"));
        const std::string path = dir.filePath("takeover.tavixrec").toStdString();
        {
            RecordingHeader header;
            header.rows = 1;
            header.columns = 2;
            CRecordingWriter writer;
            std::string error;
            QVERIFY2(writer.Open(path, header, error), error.c_str());
            const uint8_t bytes[] = {255, 7, 8, 255, 9, 10};
            QVERIFY(writer.Write(100000, bytes, sizeof bytes));
            QVERIFY(writer.Close());
        }
        QString error;
        QVERIFY2(frame->StartReplay(QString::fromStdString(path), error), qPrintable(error));
        QTRY_VERIFY(frame->GetReplayBar()->ProgressText().contains("已放完"));
        QTRY_COMPARE_WITH_TIMEOUT(page->GetLinkStatistics().bytesReceived, 6u, 3000);
        QCOMPARE(button->text(), QStringLiteral("停止采集"));
        frame->GetReplayBar()->End();
        QTRY_COMPARE(button->text(), QStringLiteral("连续采集"));
    }

    // "重新开始" while paused inside a frame: the replay's first frame is the
    // recording's first frame, whole and undamaged, and the totals count the
    // recording once. Nothing of the frame under way reaches it.
    void aRestartInsideAFrameStartsReceptionAfresh() {
        MakeFrame();
        CBlackPage* page = frame->GetActiveView()->m_pBlackPage;
        const std::string path = dir.filePath("restart.tavixrec").toStdString();
        const std::vector<uint8_t> first = {10, 11, 12, 13, 14, 15};
        {
            RecordingHeader header;
            header.rows = 2;
            header.columns = 3;
            CRecordingWriter writer;
            std::string error;
            QVERIFY2(writer.Open(path, header, error), error.c_str());
            const uint8_t bytes[] = {255, 10, 11, 12,  13, 14, 15, 255, 20, 21, 22,
                                     23,  24, 25, 255, 30, 31, 32, 33,  34, 35};
            QVERIFY(writer.Write(0, bytes, 4));  // a frame's start, its rest a second later
            QVERIFY(writer.Write(1000000, bytes + 4, sizeof bytes - 4));
            QVERIFY(writer.Close());
        }
        std::mutex lock;
        std::vector<std::vector<uint8_t>> drawn;
        page->m_onFrameDrawn = [&](const CFrameCopy& f) {
            std::lock_guard<std::mutex> g(lock);
            drawn.push_back(f.bytes);
        };
        QString error;
        QVERIFY2(frame->StartReplay(QString::fromStdString(path), error), qPrintable(error));
        CReplayBar* bar = frame->GetReplayBar();
        QTRY_COMPARE_WITH_TIMEOUT(page->GetLinkStatistics().bytesReceived, 4u, 3000);
        bar->m_actPause->trigger();
        bar->m_actRestart->trigger();
        auto* button = qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_CONTINUOUS));
        QTest::qWait(400);  // the capture has started again, paused
        QCOMPARE(button->text(), QStringLiteral("停止采集"));
        QCOMPARE(page->GetLinkStatistics().bytesReceived, 0u);
        bar->m_actPause->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(bar->ProgressText().contains("已放完"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(
            page->GetLinkStatistics().framesDrawn + page->GetLinkStatistics().framesSkipped, 3u,
            3000);
        const CLinkStatistics st = page->GetLinkStatistics();
        QCOMPARE(st.bytesReceived, 21u);
        QCOMPARE(st.resyncs, 0u);
        QCOMPARE(st.suspectFrames, 0u);
        {
            std::lock_guard<std::mutex> g(lock);
            QVERIFY(!drawn.empty());
            QCOMPARE(drawn.front(), first);
        }
        bar->End();
        QTRY_COMPARE(button->text(), QStringLiteral("连续采集"));
        page->m_onFrameDrawn = nullptr;
    }

    // The health pane counts what the simulator sent, frames and bytes, and
    // shows green while every frame is whole.
    void linkHealthAgreesWithTheSimulator() {
        MakeFrame();
        TypeBaud("921600");
        frame->m_wndPortCombo->setCurrentIndex(2);  // COM12, board B
        CTavixToolView* view = frame->GetActiveView();
        view->ShowPage(61447);
        CBlackPage* page = view->m_pBlackPage;
        qobject_cast<QLineEdit*>(page->Control(IDC_ROWS))->setText("30");
        qobject_cast<QLineEdit*>(page->Control(IDC_COLUMNS))->setText("40");
        qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_CONTINUOUS))->click();
        QTRY_VERIFY_WITH_TIMEOUT(frame->IsPortOpen(), 3000);
        QTest::qWait(250);  // opened and purged
        camsim::CameraBoard::Options options;
        options.rows = 30;
        options.columns = 40;
        options.baud = 921600;
        options.count = 40;
        camsim::CameraBoard camera(boardB, options);
        std::string error;
        QVERIFY2(camera.Start(&error), error.c_str());
        QTRY_COMPARE_WITH_TIMEOUT(camera.Stats().framesSent, uint64_t{40}, 10000);
        const QString totals = QStringLiteral("共 %1 字节 %2 帧")
                                   .arg(camera.Stats().bytesSent)
                                   .arg(camera.Stats().framesSent);
        QTRY_VERIFY_WITH_TIMEOUT(frame->m_wndLinkHealth->text().contains(totals), 2000);
        QVERIFY(frame->m_wndLinkHealth->isVisible());
        QVERIFY(frame->m_wndLinkHealth->styleSheet().contains("#c8f0c8"));  // green
        QVERIFY(frame->m_wndLinkHealth->toolTip().contains("重同步"));
        camera.Stop();
        qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_CONTINUOUS))->click();
    }

    void captureWithNoPortChosenShowsTheMessageOnTheUiThread() {
        MakeFrame();
        frame->m_wndPortCombo->setCurrentIndex(0);
        std::thread::id shownOn;
        frame->m_showMessage = [&](const QString& text, const QString& caption) {
            shownOn = std::this_thread::get_id();
            messages << caption + "|" + text;
        };
        CTavixToolView* view = frame->GetActiveView();
        view->ShowPage(61448);
        CColourPage* page = view->m_pColourPage;
        qobject_cast<QLineEdit*>(page->Control(IDC_ROWS))->setText("2");
        qobject_cast<QLineEdit*>(page->Control(IDC_COLUMNS))->setText("2");
        auto* button = qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_ONE));
        button->click();
        QTRY_COMPARE_WITH_TIMEOUT(messages, QStringList({"TavixTool|请选择串口号!"}), 3000);
        QVERIFY(shownOn == std::this_thread::get_id());
        QTRY_COMPARE(button->text(), QStringLiteral("采集一幅图"));
        QVERIFY(!frame->IsPortOpen());
    }

    void theOpenButtonWhileAWorkerOpensThePortDoesNotHang() {
        // A worker opening the port once held the owner's lock while it waited
        // for the user-interface thread to read the lists; the open button
        // then waited for that lock on the user-interface thread, and both hung.
        MakeFrame();
        TypeBaud("115200");
        frame->m_wndPortCombo->setCurrentIndex(0);  // the worker's open fails
        CBlackPage* page = frame->GetActiveView()->m_pBlackPage;
        frame->GetActiveView()->ShowPage(61447);
        qobject_cast<QLineEdit*>(page->Control(IDC_ROWS))->setText("2");
        qobject_cast<QLineEdit*>(page->Control(IDC_COLUMNS))->setText("2");
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 300 && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!done)
                qFatal("the user-interface thread hangs");
        });
        qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_ONE))->click();
        // Events are handled until the capture has begun; then this thread is
        // busy, handling none, while the worker opens the port.
        while (page->Control(IDC_CAPTURE_CONTINUOUS)->isEnabled())
            QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        frame->m_wndPortCombo->setCurrentIndex(1);  // COM4
        frame->m_actPortOpen->trigger();
        // Waiting for the worker needs nothing from this thread either.
        page->ShutdownEngine();
        done = true;
        watchdog.join();
        QVERIFY(frame->IsPortOpen());
        QTRY_COMPARE(messages, QStringList({"TavixTool|请选择串口号!"}));
        QTRY_COMPARE(qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_ONE))->text(),
                     QStringLiteral("采集一幅图"));
    }

    void aSettingsFileThatCannotBeSavedIsToldOnceAtTheStart() {
        const std::string before = ReadAll(settings);
        QVERIFY(chmod(settings.c_str(), 0444) == 0);
        MakeFrame();
        const QString told = "TavixTool|无法保存设置文件 " + QString::fromStdString(settings) +
                             "：文件是只读的。本次运行中的设置仍然有效，下次保存成功时会一并写入。";
        QTRY_COMPARE(messages, QStringList({told}));
        frame->close();  // its saves fail too: nothing more is shown
        frame.reset();
        QCOMPARE(messages, QStringList({told}));
        QCOMPARE(ReadAll(settings), before);
        QVERIFY(chmod(settings.c_str(), 0644) == 0);
    }

    void anotherProgramHoldingTheOpenPortIsNamed() {
        if (geteuid() != 0)
            QSKIP("only root can open a port the program holds exclusively");
        MakeFrame();
        TypeBaud("115200");
        frame->m_wndPortCombo->setCurrentIndex(1);  // COM4, board A
        frame->m_actPortOpen->trigger();
        QVERIFY(frame->IsPortOpen());
        frame->CheckPortSharing();
        QVERIFY(messages.isEmpty());
        // A root program that takes no lock opens the port too.
        int hold[2];
        QVERIFY(pipe(hold) == 0);
        const pid_t other = fork();
        if (other == 0) {
            const int fd = ::open(boardA.DevicePath().c_str(), O_RDONLY | O_NOCTTY);
            char c;
            (void)!::read(hold[0], &c, 1);  // until the test lets go
            _exit(fd >= 0 ? 0 : 1);
        }
        QVERIFY(other > 0);
        const QString named = QStringLiteral("MainFrameTest（进程号 %1）").arg(other);
        QTRY_VERIFY_WITH_TIMEOUT((frame->CheckPortSharing(), messages.size() == 1), 3000);
        QVERIFY(messages[0].contains(named));
        QVERIFY(frame->m_wndMessage->text().contains(named));
        frame->CheckPortSharing();  // told once
        QCOMPARE(messages.size(), 1);
        (void)!::write(hold[1], "x", 1);
        int status = 0;
        QCOMPARE(waitpid(other, &status, 0), other);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);  // it did open the port
        frame->CheckPortSharing();
        QCOMPARE(frame->m_wndMessage->text(), QStringLiteral("就绪"));
    }

    void closingDuringACaptureStopsIt() {
        MakeFrame();
        frame->m_wndPortCombo->setCurrentIndex(1);
        frame->GetActiveView()->ShowPage(61447);
        CBlackPage* page = frame->GetActiveView()->m_pBlackPage;
        qobject_cast<QLineEdit*>(page->Control(IDC_ROWS))->setText("60");
        qobject_cast<QLineEdit*>(page->Control(IDC_COLUMNS))->setText("80");
        qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_CONTINUOUS))->click();
        QTRY_VERIFY(frame->IsPortOpen());
        frame->close();
        QElapsedTimer timer;
        timer.start();
        frame.reset();
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(ReadProfileInt("Black", "row", 0, settings), 60);
    }

    void documentIsAlwaysEmpty() {
        CTavixToolDoc doc;
        QVERIFY(doc.OnNewDocument());
        const QString saved = dir.filePath("saved.tvx");
        QVERIFY(doc.OnSaveDocument(saved));
        QCOMPARE(QFileInfo(saved).size(), 0);
        QCOMPARE(doc.GetPathName(), saved);
        QVERIFY(!doc.IsModified());
        // Any readable file opens as an empty document; a missing one does not.
        QVERIFY(doc.OnOpenDocument(QString::fromStdString(settings)));
        QVERIFY(!doc.OnOpenDocument(dir.filePath("missing")));
        QVERIFY(!doc.OnSaveDocument(dir.filePath("no/such/folder/x")));
    }

    void printingGivesABlankPage() {
        MakeFrame();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = dir.filePath("print.pdf");
        printer.setOutputFileName(pdf);
        QVERIFY(frame->GetActiveView()->OnPrint(&printer));
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.contains("/Count 1"));
        // A blank page: not even the start picture is printed.
        QVERIFY(!bytes.contains("/Subtype /Image"));
    }

    void helpButton() {
        MakeFrame();
        auto visibleWindows = [] {
            QStringList titles;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible())
                    titles << w->windowTitle();
            return titles;
        };
        const QStringList before = visibleWindows();
        // Without the help library the button does nothing visible, and a
        // second press does not try to load it again.
        ResetHtmlHelpBinding();
        SetHelpLibraryName("libtavix-no-such-chm.so.1");
        frame->m_actShowHelp->trigger();
        frame->m_actShowHelp->trigger();
        QCOMPARE(HtmlHelpLoadAttempts(), 1);
        QVERIFY(HtmlHelpFailed());
        QCOMPARE(visibleWindows(), before);

        // With it, Help.chm beside the executable opens at its default topic.
        ResetHtmlHelpBinding();
        frame->m_actShowHelp->trigger();
        QVERIFY(!HtmlHelpFailed());
        QTRY_VERIFY(visibleWindows().contains(QStringLiteral("TavixTool 摄像头测试工具帮助")));
        frame->m_actShowHelp->trigger();
        QCOMPARE(HtmlHelpLoadAttempts(), 1);
        ResetHtmlHelpBinding();
    }

    void repeatedInitialUpdateKeepsThePages() {
        MakeFrame();
        CTavixToolView* view = frame->GetActiveView();
        CBlackPage* black = view->m_pBlackPage;
        emit frame->fileNewRequested();  // nobody listens here: no change
        view->OnInitialUpdate();
        QCOMPARE(view->m_pBlackPage, black);
    }

private:
    std::string Link(int n) const {
        return dir.filePath(QStringLiteral("ports/com%1").arg(n)).toStdString();
    }

    void WriteCom(const char* com, const char* baund, const char* baunds) {
        WriteProfileString("Com", "com", com, settings);
        WriteProfileString("Com", "baund", baund, settings);
        WriteProfileString("Com", "baunds", baunds, settings);
    }

    void MakeFrame() {
        frame = std::make_unique<CMainFrame>(&document, settings);
        frame->m_showMessage = [this](const QString& text, const QString& caption) {
            messages << caption + "|" + text;
        };
        QVERIFY(frame->Create());
        frame->GetActiveView()->OnInitialUpdate();
        frame->GetActiveView()->m_pBlackPage->m_showWarning = [](const QString&) {};
        frame->GetActiveView()->m_pColourPage->m_showWarning = [](const QString&) {};
        frame->showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

    void TypeBaud(const QString& text) {
        QLineEdit* edit = frame->m_wndBaudCombo->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    QTemporaryDir dir;
    std::string settings;
    camsim::PseudoTerminal boardA;
    camsim::PseudoTerminal boardB;
    CTavixToolDoc document;
    std::unique_ptr<CMainFrame> frame;
    QStringList messages;
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
