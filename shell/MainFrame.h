// The main window: the fixed title, the main toolbar with the help button,
// the serial settings bar (baud and port lists, open and close buttons), the
// status bar, and a splitter with the navigation panel on the left and the
// view with the capture pages on the right. It owns the program's one serial
// port as the port owner the capture engines use.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "capture/LinkRateMeter.h"
#include "serial/PortOwner.h"
#include "serial/PortSelection.h"
#include "stream/StreamFormat.h"
#include "ui/UiInvoker.h"

class CDeviceWatcher;
class CReplayBar;
class CTaskPanel;
class CTavixToolDoc;
class CTavixToolView;
class QAction;
class QComboBox;
class QLabel;
class QMessageBox;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QToolBar;

class CMainFrame : public QMainWindow, public CPortOwner {
    Q_OBJECT

public:
    static constexpr int kSerialBarId = 101;
    static constexpr int kBaudComboId = 103;
    static constexpr int kPortComboId = 104;
    static constexpr int kPortOpenId = 105;
    static constexpr int kPortCloseId = 106;
    static constexpr int kShowHelpId = 32772;
    static constexpr int kTaskGroupId = 61449;  // "摄像头工具"
    static constexpr int kNavigationWidth = 210;

    // `settingsPath` is the settings file, worked out once at start-up.
    CMainFrame(CTavixToolDoc* document, std::string settingsPath);
    // Stops the pages' engines before anything they use goes.
    ~CMainFrame() override;

    // Builds the window's contents: client area, toolbars, status bar, the
    // serial settings bar's lists. False when the window cannot be made.
    bool Create();

    // The port and baud lists (section "Com" of the settings file).
    int LoadPortSettings();
    // Rebuilds the port list. The user's port stays chosen while its device
    // is away (marked "（未连接）") and when the same device comes back.
    int OnDeviceChange();
    void SavePortSettings();
    // "输入设备路径…": asks for a device path and offers and chooses it.
    void OnEnterDevicePath();
    // Enables the open button exactly while the port is closed, the close
    // button exactly while it is open.
    void OnUpdatePortOpen();
    void OnUpdatePortClose();
    // Looks for other processes that hold the open port (a root program can
    // open it beside us and take the board's bytes): named in the status bar
    // while they do, and once each in a message box. Every 3 s while open.
    void CheckPortSharing();

    // "数据格式": the presets' labels in their order, then "自定义…". Choosing
    // one stops a running capture, keeps the format in the settings file,
    // hands it to both pages, sets the page's size to the preset's usual one
    // (unless frames carry their size) and shows the page of its encoding.
    // `index` is the list's entry.
    void OnFormatChosen(int index);
    // Takes `format` as the stream format, as a choice in the list would;
    // `preset` (or null) gives the usual size.
    void SetStreamFormat(const stream::CStreamFormat& format, const stream::CStreamPreset* preset);
    const stream::CStreamFormat& StreamFormat() const { return m_streamFormat; }
    // "发送": the send box's text as bytes to the board, through the open
    // port (opened first when closed and a port is chosen). Kept in the
    // send box's history when sent.
    void OnSend();
    // The last sent texts, newest first (at most kSendHistory), in the
    // program's state.
    static constexpr int kSendHistory = 20;

    // A box owned by `parent` with an OK button "确定", wide enough that a
    // window manager shows its whole caption.
    static QMessageBox* CreateMessageBox(QWidget* parent, int icon, const QString& caption,
                                         const QString& text);

    // The help button: Help.chm from the executable's directory.
    void OnShowHelp();
    // "中文" or "English" chosen: stores it and offers the restart.
    void OnChooseLanguage(bool english);
    // A notification of the navigation panel; code 1 is a click on an item.
    int OnTaskPanelNotify(int code, int id);

    // Ctrl+S: writes the (empty) document, asking for a name the first time.
    void OnFileSave();
    // F6 and Shift+F6: the keyboard focus goes to the other pane.
    void OnNextPane(bool forward);

    // Replays a recording through the page of its format, as from a live
    // board (see CReplayBar). False with the reason.
    bool StartReplay(const QString& path, QString& error);
    CReplayBar* GetReplayBar() const { return m_pReplayBar; }

    CTavixToolView* GetActiveView() const { return m_pView; }
    CTavixToolDoc* GetDocument() const { return m_pDocument; }

    QToolBar* m_wndSerialBar = nullptr;
    QComboBox* m_wndPortCombo = nullptr;
    QComboBox* m_wndBaudCombo = nullptr;
    QStatusBar* m_wndStatusBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QSplitter* m_wndSplitter = nullptr;
    CTaskPanel* m_wndTaskPanel = nullptr;

    QAction* m_actPortOpen = nullptr;
    QAction* m_actPortClose = nullptr;
    QAction* m_actShowHelp = nullptr;
    // "语言 / Language": the window's language, "中文" or "English", kept in
    // the settings file; the change shows after a restart the window offers.
    QAction* m_actLanguage = nullptr;
    QAction* m_actChinese = nullptr;
    QAction* m_actEnglish = nullptr;
    // Asks whether to restart now; a message box unless replaced (tests).
    std::function<bool(const QString& text)> m_askRestart;
    QAction* m_actEnterDevice = nullptr;  // "输入设备路径…"
    // The frame header byte of both pages ("帧头"), kept in section "Data".
    QSpinBox* m_wndHeaderSpin = nullptr;
    // "数据格式" and its entries; "自定义…" last.
    QComboBox* m_wndFormatCombo = nullptr;
    // The board command bar: the send box and its "发送".
    QToolBar* m_wndCommandBar = nullptr;
    QComboBox* m_wndSendCombo = nullptr;
    QAction* m_actSend = nullptr;
    // Edits a custom format: a dialog unless replaced (tests). False when
    // cancelled.
    std::function<bool(stream::CStreamFormat&)> m_editCustomFormat;
    QLabel* m_wndMessage = nullptr;   // "就绪"
    QLabel* m_wndIndicators[3] = {};  // "大写", "数字", "滚动"
    // The link's health while the shown page captures: rates, counts and a
    // colour, four times a second.
    QLabel* m_wndLinkHealth = nullptr;
    CDeviceWatcher* m_pDeviceWatcher = nullptr;

    std::string m_strSettingsPath;
    // Shows the port owner's messages; a message box unless replaced (tests).
    std::function<void(const QString& text, const QString& caption)> m_showMessage;

signals:
    // Ctrl+N and Ctrl+O: the application's new and open commands.
    void fileNewRequested();
    void fileOpenRequested();
    // The close request was accepted: the program ends, whatever other
    // windows (the help window) are still open.
    void closed();
    // The user chose another language and a restart: the program starts
    // itself again once this window has closed.
    void restartRequested();

protected:
    // The close request saves section "Com" first.
    void closeEvent(QCloseEvent* event) override;

    int GetBaudSelection() override;
    std::string GetBaudText() override;
    int GetPortSelection() override;
    std::string GetPortText() override;
    std::string GetPortDevice() override;
    void ShowPortMessage(const std::string& text, const std::string& caption) override;

private:
    bool OnCreateClient();
    void CreateSerialBar();
    void CreateAccelerators();
    void UpdateCommandStates();
    // The port list from the probed entries, the typed device and the
    // chosen port while its device is away. Selects nothing.
    void FillPortList(std::vector<CPortEntry> entries, const std::string& heldDevice);
    // The entry named `name` ("COM5", a typed path), or -1.
    int FindPortEntry(const std::string& name) const;
    // Takes the selected entry as the user's choice, with its device's identity.
    void RememberPortChoice();
    // The device watcher also watches the typed device path.
    void WatchTypedDevice();
    // The header box's value into the pages that are not capturing.
    void ApplyHeaderByte();
    // The stream format into both pages (none captures when it changes).
    void ApplyStreamFormat();
    // The format list's entry of the current format.
    void SelectFormatEntry();
    void CreateCommandBar();
    void SaveSendHistory(const QString& text);
    bool AnyCaptureRunning() const;
    void UpdateLockIndicators();
    void UpdateLinkHealth();
    // A box owned by the window with an OK button and this icon (a
    // QMessageBox::Icon), or the test hook m_showMessage when set. Modal:
    // returns when it is closed; otherwise shown and left.
    void ShowMessage(const QString& text, const QString& caption, int icon, bool modal);
    // Tells the user, once per run, that the settings file cannot be saved:
    // in a box while the window is up, on the standard error at exit.
    void TellSettingsFailure(const std::string& path, int error);

    CTavixToolDoc* m_pDocument;
    CTavixToolView* m_pView = nullptr;
    CReplayBar* m_pReplayBar = nullptr;
    // Capture workers' message boxes reach the user-interface thread through it.
    CUiInvoker m_invoker;
    // The user has typed into the baud field since the last choice from the
    // list: then no entry is selected and the typed text is the choice.
    bool m_bBaudTyped = false;
    // The user's port: its entry's name and its device's identity (empty
    // while unknown). Kept while the device is away.
    std::string m_strChosenPort;
    std::string m_strChosenIdentity;
    std::string m_strTypedDevice;   // a device path the user typed, or empty
    bool m_bFillingPorts = false;   // the list is being rebuilt
    bool m_bHeaderChanged = false;  // the user set the header byte
    stream::CStreamFormat m_streamFormat;
    bool m_bSettingsFailureTold = false;
    bool m_bClosing = false;  // the close request has come
    QTimer m_shareTimer;
    std::vector<int> m_sharingPidsTold;  // process ids already shown in a box
    bool m_bSharingShown = false;        // the status bar names them now
    QTimer m_idleTimer;
    QTimer m_healthTimer;
    // The previous snapshot the rates are worked out from, and of which page.
    const void* m_pHealthPage = nullptr;
    CLinkRateMeter m_linkMeter;
};
