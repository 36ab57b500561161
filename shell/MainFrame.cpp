#include "shell/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cstdio>

#include "capture/LinkHealth.h"
#include "help/HtmlHelp.h"
#include "pages/BlackPage.h"
#include "pages/ColourPage.h"
#include "serial/DeviceHolders.h"
#include "serial/PortDevices.h"
#include "settings/ComSettings.h"
#include "settings/DataSection.h"
#include "settings/LanguageSetting.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsPath.h"
#include "settings/TextToNumber.h"
#include "settings/Translation.h"
#include "shell/DeviceWatcher.h"
#include "shell/LockKeyState.h"
#include "shell/ReplayBar.h"
#include "shell/StreamFormatDialog.h"
#include "shell/TavixToolDoc.h"
#include "shell/TavixToolView.h"
#include "stream/StreamSettings.h"
#include "ui/TaskPanel.h"

namespace {

const char kTitle[] = QT_TRANSLATE_NOOP("CMainFrame", "TAVIX飞思卡尔专营-摄像头测试工具");
const char kSerialSettings[] = QT_TRANSLATE_NOOP("CMainFrame", "串口设置");
const char kReady[] = QT_TRANSLATE_NOOP("CMainFrame", "就绪");
const char* const kIndicatorTexts[3] = {QT_TRANSLATE_NOOP("CMainFrame", "大写"),
                                        QT_TRANSLATE_NOOP("CMainFrame", "数字"),
                                        QT_TRANSLATE_NOOP("CMainFrame", "滚动")};

constexpr int kComboWidth = 200;
// What a port entry carries beside its text.
constexpr int kPortNameRole = Qt::UserRole;        // "COM5", or the typed path
constexpr int kPortDeviceRole = Qt::UserRole + 1;  // the device file
constexpr int kPortTypedRole = Qt::UserRole + 2;   // the device path the user typed
// Beside a box's caption a window manager's title bar holds an icon and
// three buttons; the caption is cut to "…" where they leave too little room.
constexpr int kTitleBarRoom = 160;
// The dropped list of a 100-pixel combo shows about four entries.
constexpr int kComboVisibleItems = 4;
// The format list's entry for a custom format carries this instead of a
// preset's index.
constexpr int kCustomEntry = -1;
// The send box's history in the program's state.
const char kSendHistoryKey[] = "Board/SendHistory";

QStringList ToStringList(const std::vector<std::string>& entries) {
    QStringList list;
    for (const std::string& e : entries)
        list << QString::fromStdString(e);
    return list;
}

std::vector<std::string> Entries(const QComboBox* combo) {
    std::vector<std::string> entries;
    for (int i = 0; i < combo->count(); ++i)
        entries.push_back(combo->itemText(i).toStdString());
    return entries;
}

// An image of the serial settings bar's strip of five 16-pixel images.
QIcon StripImage(int index) {
    const QPixmap strip(QStringLiteral(":/icons/serialbar.png"));
    return QIcon(strip.copy(index * 16, 0, 16, 16));
}

}  // namespace

CMainFrame::CMainFrame(CTavixToolDoc* document, std::string settingsPath)
    : m_strSettingsPath(std::move(settingsPath)), m_pDocument(document) {
    setWindowTitle(tr(kTitle));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/app/tavixtool-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    // No menu bar: the window is created without one and never gets one.
    setMenuBar(nullptr);
    resize(840, 820);
    SetPortOwner(this);
}

CMainFrame::~CMainFrame() {
    // Messages that workers posted and that have not been shown go.
    m_invoker.Shutdown();
    m_idleTimer.stop();
    m_healthTimer.stop();
    m_shareTimer.stop();
    // A replay ends while its page and line exist. The view deletes the
    // pages, whose engines stop and join their workers, while the port they
    // read still exists.
    if (m_pReplayBar != nullptr)
        m_pReplayBar->End();
    delete m_pView;
    m_pView = nullptr;
    SetProfileWriteFailureHandler({});
    if (GetPortOwner() == this)
        SetPortOwner(nullptr);
}

bool CMainFrame::Create() {
    if (!OnCreateClient())
        return false;

    // The main toolbar: the help button.
    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("0xE800"));
    m_wndToolBar->setIconSize(QSize(24, 24));
    m_actShowHelp = m_wndToolBar->addAction(QIcon(QStringLiteral(":/icons/help.png")), tr("帮助"));
    m_actShowHelp->setObjectName(QString::number(kShowHelpId));
    m_actShowHelp->setStatusTip(tr("打开帮助文件 Help.chm"));
    connect(m_actShowHelp, &QAction::triggered, this, &CMainFrame::OnShowHelp);
    // Named in both languages, so that it is found whichever is shown.
    auto* languageMenu = new QMenu(this);
    languageMenu->setObjectName(QStringLiteral("LanguageMenu"));
    m_actChinese = languageMenu->addAction(QStringLiteral("中文"));
    m_actEnglish = languageMenu->addAction(QStringLiteral("English"));
    for (QAction* a : {m_actChinese, m_actEnglish})
        a->setCheckable(true);
    const bool english = ReadWindowLanguage(m_strSettingsPath) == tx::Language::English;
    (english ? m_actEnglish : m_actChinese)->setChecked(true);
    connect(m_actChinese, &QAction::triggered, this, [this] { OnChooseLanguage(false); });
    connect(m_actEnglish, &QAction::triggered, this, [this] { OnChooseLanguage(true); });
    m_actLanguage = m_wndToolBar->addAction(QStringLiteral("语言 / Language"));
    m_actLanguage->setObjectName(QStringLiteral("Language"));
    m_actLanguage->setMenu(languageMenu);
    if (auto* button = qobject_cast<QToolButton*>(m_wndToolBar->widgetForAction(m_actLanguage)))
        button->setPopupMode(QToolButton::InstantPopup);
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    // The status bar: the message pane, then the three lock indicators.
    m_wndStatusBar = new QStatusBar(this);
    m_wndStatusBar->setObjectName(QStringLiteral("0xE801"));
    m_wndMessage = new QLabel(tr(kReady), m_wndStatusBar);
    m_wndStatusBar->addWidget(m_wndMessage, 1);
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(tr(kIndicatorTexts[i]), m_wndStatusBar);
        label->setObjectName(QString::number(0xE701 + i));
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->sizeHint().width() + 8);
        label->setFrameShape(QFrame::StyledPanel);
        m_wndIndicators[i] = label;
        m_wndStatusBar->addPermanentWidget(label);
    }
    m_wndLinkHealth = new QLabel(m_wndStatusBar);
    m_wndLinkHealth->setObjectName(QStringLiteral("LinkHealth"));
    m_wndLinkHealth->setFrameShape(QFrame::StyledPanel);
    m_wndLinkHealth->setToolTip(QString::fromStdString(CLinkHealth::Explanation()));
    m_wndLinkHealth->hide();
    // Right of the message pane, left of the lock indicators.
    m_wndStatusBar->insertPermanentWidget(1, m_wndLinkHealth);
    setStatusBar(m_wndStatusBar);

    // The serial settings bar, on the same row, right of the main toolbar.
    CreateSerialBar();
    addToolBar(Qt::TopToolBarArea, m_wndSerialBar);

    LoadPortSettings();

    // A replay's bar, on a row of its own below the others while it is shown.
    m_pReplayBar = new CReplayBar(*this, *m_pView, this);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_pReplayBar);
    m_pReplayBar->hide();

    // Settings that cannot be saved are said at once, not at exit.
    SetProfileWriteFailureHandler(
        [this](const std::string& path, int error) { TellSettingsFailure(path, error); });
    int error = 0;
    if (!CanWriteProfile(m_strSettingsPath, error))
        QTimer::singleShot(0, this,
                           [this, error] { TellSettingsFailure(m_strSettingsPath, error); });

    // The device watcher stands in for the system's device-change message.
    m_pDeviceWatcher = new CDeviceWatcher(this);
    WatchTypedDevice();
    connect(m_pDeviceWatcher, &CDeviceWatcher::deviceChanged, this, [this] { OnDeviceChange(); });

    // Command states and lock keys are brought up to date while idle.
    m_idleTimer.setInterval(100);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        UpdateCommandStates();
        UpdateLockIndicators();
        // The header byte only means something to the header-byte framing.
        m_wndHeaderSpin->setEnabled(!AnyCaptureRunning() &&
                                    m_streamFormat.framing == stream::Framing::HeaderByte);
    });
    m_idleTimer.start();
    m_healthTimer.setInterval(250);
    connect(&m_healthTimer, &QTimer::timeout, this, &CMainFrame::UpdateLinkHealth);
    m_healthTimer.start();
    m_shareTimer.setInterval(3000);
    connect(&m_shareTimer, &QTimer::timeout, this, &CMainFrame::CheckPortSharing);
    m_shareTimer.start();
    CreateAccelerators();
    UpdateCommandStates();
    UpdateLockIndicators();
    return true;
}

bool CMainFrame::OnCreateClient() {
    m_wndSplitter = new QSplitter(Qt::Horizontal, this);
    m_wndSplitter->setObjectName(QStringLiteral("0xE900"));
    m_wndSplitter->setChildrenCollapsible(true);

    m_wndTaskPanel = new CTaskPanel(m_wndSplitter);
    m_wndTaskPanel->setMinimumWidth(0);
    m_wndTaskPanel->AddGroup(kTaskGroupId, tr("摄像头工具"));
    m_wndTaskPanel->AddLinkItem(CTavixToolView::kBlackPageId, tr("黑白数据"));
    m_wndTaskPanel->AddLinkItem(CTavixToolView::kColourPageId, tr("彩色数据"));
    m_wndTaskPanel->SetSpecialGroup(kTaskGroupId);
    connect(m_wndTaskPanel, &CTaskPanel::notify, this,
            [this](int code, int id) { OnTaskPanelNotify(code, id); });

    m_pView = new CTavixToolView(m_strSettingsPath, m_wndSplitter);
    m_pView->setMinimumWidth(0);
    // A format the diagnosis found: chosen as if from "数据格式", then the
    // size it read on the page the format's pixels belong to.
    for (CCapturePage* page : m_pView->CapturePages())
        page->m_applyStreamFormat = [this](const stream::CStreamFormat& format,
                                           const std::string& preset, uint32_t rows,
                                           uint32_t columns) {
            SetStreamFormat(format, stream::FindPreset(preset));
            if (rows == 0 || columns == 0 || m_pView == nullptr ||
                format.encoding == stream::Encoding::Page)
                return;
            const bool gray = stream::Info(format.encoding).gray;
            CCapturePage* target =
                gray ? static_cast<CCapturePage*>(m_pView->m_pBlackPage) : m_pView->m_pColourPage;
            if (target != nullptr)
                target->SetFrameSize(rows, columns);
        };

    m_wndSplitter->addWidget(m_wndTaskPanel);
    m_wndSplitter->addWidget(m_pView);
    m_wndSplitter->setStretchFactor(0, 0);
    m_wndSplitter->setStretchFactor(1, 1);
    m_wndSplitter->setSizes({kNavigationWidth, width() - kNavigationWidth});
    setCentralWidget(m_wndSplitter);
    return true;
}

void CMainFrame::CreateSerialBar() {
    m_wndSerialBar = new QToolBar(tr(kSerialSettings), this);
    m_wndSerialBar->setObjectName(QString::number(kSerialBarId));
    m_wndSerialBar->setIconSize(QSize(16, 16));
    // No gripper: the bar stays where it is docked.
    m_wndSerialBar->setMovable(false);

    m_wndBaudCombo = new QComboBox(m_wndSerialBar);
    m_wndBaudCombo->setObjectName(QString::number(kBaudComboId));
    m_wndBaudCombo->setEditable(true);
    m_wndBaudCombo->setInsertPolicy(QComboBox::NoInsert);
    // The field takes what is typed, without completing it from the list.
    m_wndBaudCombo->setCompleter(nullptr);
    m_wndBaudCombo->setFixedWidth(kComboWidth);
    m_wndBaudCombo->setMaxVisibleItems(kComboVisibleItems);
    connect(m_wndBaudCombo->lineEdit(), &QLineEdit::textEdited, this,
            [this] { m_bBaudTyped = true; });
    connect(m_wndBaudCombo, qOverload<int>(&QComboBox::activated), this,
            [this] { m_bBaudTyped = false; });
    m_wndSerialBar->addWidget(m_wndBaudCombo)->setObjectName(QString::number(kBaudComboId));

    m_wndPortCombo = new QComboBox(m_wndSerialBar);
    m_wndPortCombo->setObjectName(QString::number(kPortComboId));
    m_wndPortCombo->setFixedWidth(kComboWidth);
    m_wndPortCombo->setMaxVisibleItems(kComboVisibleItems);
    m_wndSerialBar->addWidget(m_wndPortCombo)->setObjectName(QString::number(kPortComboId));

    m_actPortOpen = m_wndSerialBar->addAction(StripImage(2), QString());
    m_actPortOpen->setObjectName(QString::number(kPortOpenId));
    connect(m_actPortOpen, &QAction::triggered, this, [this] {
        OpenPort();
        UpdateCommandStates();
        CheckPortSharing();
    });
    m_actPortClose = m_wndSerialBar->addAction(StripImage(3), QString());
    m_actPortClose->setObjectName(QString::number(kPortCloseId));
    connect(m_actPortClose, &QAction::triggered, this, [this] {
        ClosePort();
        UpdateCommandStates();
    });
    connect(m_wndPortCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        // The closed list shows the chosen port's device when hovered.
        m_wndPortCombo->setToolTip(m_wndPortCombo->currentData(Qt::ToolTipRole).toString());
        if (!m_bFillingPorts)
            RememberPortChoice();
    });

    m_wndSerialBar->addSeparator();
    m_actEnterDevice = m_wndSerialBar->addAction(tr("输入设备路径…"));
    m_actEnterDevice->setObjectName(QStringLiteral("EnterDevicePath"));
    m_actEnterDevice->setToolTip(
        tr("选一个不在 COM1–COM15 中的串口设备，如 /dev/ttyAMA0，或 "
           "/dev/serial/by-id/ 下的名字"));
    connect(m_actEnterDevice, &QAction::triggered, this, &CMainFrame::OnEnterDevicePath);

    m_wndSerialBar->addSeparator();
    auto* headerLabel = new QLabel(tr(" 帧头 "), m_wndSerialBar);
    m_wndSerialBar->addWidget(headerLabel);
    m_wndHeaderSpin = new QSpinBox(m_wndSerialBar);
    m_wndHeaderSpin->setObjectName(QStringLiteral("HeaderByte"));
    m_wndHeaderSpin->setRange(0, 255);
    m_wndHeaderSpin->setValue(ReadHeaderByte(m_strSettingsPath));
    m_wndHeaderSpin->setToolTip(
        tr("每帧开头的帧头字节（0–255），两个页面共用；采集时不能改。"
           "保存在设置文件的 [Data] head 中。"));
    headerLabel->setToolTip(m_wndHeaderSpin->toolTip());
    connect(m_wndHeaderSpin, qOverload<int>(&QSpinBox::valueChanged), this, [this] {
        m_bHeaderChanged = true;
        ApplyHeaderByte();
    });
    m_wndSerialBar->addWidget(m_wndHeaderSpin);

    // The stream format; a value in the file that does not read is said
    // once the window is up, and the design's format is used.
    std::string reason;
    m_streamFormat = stream::ReadStreamFormat(m_strSettingsPath, &reason);
    if (!reason.empty())
        QTimer::singleShot(0, this, [this, reason] {
            ShowMessage(QString::fromStdString(reason), QStringLiteral("TavixTool"),
                        QMessageBox::Warning, false);
        });
    m_wndSerialBar->addSeparator();
    auto* formatLabel = new QLabel(tr(" 数据格式 "), m_wndSerialBar);
    m_wndSerialBar->addWidget(formatLabel);
    m_wndFormatCombo = new QComboBox(m_wndSerialBar);
    m_wndFormatCombo->setObjectName(QStringLiteral("StreamFormat"));
    const std::vector<stream::CStreamPreset>& presets = stream::Presets();
    for (size_t i = 0; i < presets.size(); ++i)
        m_wndFormatCombo->addItem(QString::fromUtf8(stream::PresetLabel(presets[i])),
                                  static_cast<int>(i));
    m_wndFormatCombo->addItem(tr("自定义…"), kCustomEntry);
    m_wndFormatCombo->setMaxVisibleItems(m_wndFormatCombo->count());
    m_wndFormatCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    formatLabel->setToolTip(
        tr("摄像头板发来的数据是什么样的：帧怎样划分、像素怎样编码、要向板子发送什么。"
           "采集时改动会先停止采集。保存在设置文件的 [Stream] format 中。"));
    SelectFormatEntry();
    connect(m_wndFormatCombo, qOverload<int>(&QComboBox::activated), this,
            &CMainFrame::OnFormatChosen);
    m_wndSerialBar->addWidget(m_wndFormatCombo);

    CreateCommandBar();
}

void CMainFrame::CreateCommandBar() {
    // The send box: what the user types goes to the board as it is.
    m_wndSerialBar->addSeparator();
    m_wndSendCombo = new QComboBox(m_wndSerialBar);
    m_wndSendCombo->setObjectName(QStringLiteral("SendBox"));
    m_wndSendCombo->setEditable(true);
    m_wndSendCombo->setInsertPolicy(QComboBox::NoInsert);
    m_wndSendCombo->setCompleter(nullptr);
    // English texts make the serial bar wider; a narrower send box keeps the
    // toolbar row within a 1366-pixel screen.
    m_wndSendCombo->setFixedWidth(
        tx::CurrentLanguage() == tx::Language::English ? kComboWidth * 3 / 5 : kComboWidth * 3 / 4);
    m_wndSendCombo->addItems(QSettings().value(QString::fromUtf8(kSendHistoryKey)).toStringList());
    m_wndSendCombo->setCurrentIndex(-1);
    m_wndSendCombo->lineEdit()->setPlaceholderText(tr("板子命令，如 01 FE 或 \"R\""));
    m_wndSendCombo->setToolTip(
        tr("发给摄像头板的字节：十六进制（如 01 FE）或带双引号的文字（如 \"R\"、"
           "\"AT\\r\\n\"）。按回车或“发送”发出；串口未打开时先打开它。"));
    connect(m_wndSendCombo->lineEdit(), &QLineEdit::returnPressed, this, &CMainFrame::OnSend);
    m_wndSerialBar->addWidget(m_wndSendCombo);
    m_actSend = m_wndSerialBar->addAction(tr("发送"));
    m_actSend->setObjectName(QStringLiteral("Send"));
    m_actSend->setToolTip(m_wndSendCombo->toolTip());
    connect(m_actSend, &QAction::triggered, this, &CMainFrame::OnSend);
}

void CMainFrame::SelectFormatEntry() {
    const stream::CStreamPreset* preset = stream::PresetOf(m_streamFormat);
    const std::vector<stream::CStreamPreset>& presets = stream::Presets();
    const int data = preset != nullptr ? static_cast<int>(preset - presets.data()) : kCustomEntry;
    m_wndFormatCombo->setCurrentIndex(m_wndFormatCombo->findData(data));
    // The whole format, as the settings file holds it.
    m_wndFormatCombo->setToolTip(
        tr("当前：%1").arg(QString::fromStdString(stream::FormatToText(m_streamFormat))));
}

void CMainFrame::OnFormatChosen(int index) {
    const int data = m_wndFormatCombo->itemData(index).toInt();
    const std::vector<stream::CStreamPreset>& presets = stream::Presets();
    if (data >= 0 && data < static_cast<int>(presets.size())) {
        SetStreamFormat(presets[static_cast<size_t>(data)].format,
                        &presets[static_cast<size_t>(data)]);
        return;
    }
    stream::CStreamFormat format = m_streamFormat;
    bool accepted = false;
    if (m_editCustomFormat) {
        accepted = m_editCustomFormat(format);
    } else {
        CStreamFormatDialog dialog(m_streamFormat, this);
        accepted = dialog.exec() == QDialog::Accepted;
        format = dialog.Format();
    }
    if (accepted)
        SetStreamFormat(format, nullptr);
    else
        SelectFormatEntry();
}

void CMainFrame::SetStreamFormat(const stream::CStreamFormat& format,
                                 const stream::CStreamPreset* preset) {
    // A capture runs with the format it started with: it is stopped first.
    if (m_pView != nullptr)
        for (CCapturePage* page : m_pView->CapturePages())
            page->StopCapture();
    m_streamFormat = format;
    stream::WriteStreamFormat(format, m_strSettingsPath);
    ApplyStreamFormat();
    SelectFormatEntry();
    m_wndHeaderSpin->setEnabled(!AnyCaptureRunning() &&
                                format.framing == stream::Framing::HeaderByte);
    if (format.encoding == stream::Encoding::Page || m_pView == nullptr)
        return;
    // The page its encoding belongs to, with the boards' usual size.
    const bool gray = stream::Info(format.encoding).gray;
    const int pageId = gray ? CTavixToolView::kBlackPageId : CTavixToolView::kColourPageId;
    CCapturePage* page =
        gray ? static_cast<CCapturePage*>(m_pView->m_pBlackPage) : m_pView->m_pColourPage;
    if (page != nullptr && preset != nullptr && preset->rows > 0 && preset->columns > 0 &&
        !format.GeometryFromWire())
        page->SetFrameSize(preset->rows, preset->columns);
    OnTaskPanelNotify(CTaskPanel::kItemClicked, pageId);
}

void CMainFrame::ApplyStreamFormat() {
    if (m_pView == nullptr)
        return;
    for (CCapturePage* page : m_pView->CapturePages())
        if (!page->CaptureRunning()) {
            page->m_streamFormat = m_streamFormat;
            page->UpdateWireGeometry();
        }
}

void CMainFrame::OnSend() {
    const QString text = m_wndSendCombo->currentText().trimmed();
    if (text.isEmpty()) {
        ShowMessage(tr("请输入要发送的内容：十六进制（如 01 FE）或带双引号的文字（如 \"R\"）。"),
                    QStringLiteral("TavixTool"), QMessageBox::Warning, true);
        return;
    }
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!stream::ParseBytes(text.toStdString(), bytes, &reason)) {
        ShowMessage(tr("无法发送“%1”：%2").arg(text, QString::fromStdString(reason)),
                    QStringLiteral("TavixTool"), QMessageBox::Warning, true);
        return;
    }
    if (!IsPortOpen()) {
        // Opened as a capture would open it; without a port chosen, said so.
        const CPortChoice choice = CurrentChoice();
        if (choice.portSelection <= 0 && choice.device.empty()) {
            ShowMessage(tr("串口未打开：请先选择串口号。"), QStringLiteral("TavixTool"),
                        QMessageBox::Warning, true);
            return;
        }
        if (!OpenPort(choice)) {
            m_wndMessage->setText(tr("串口未打开"));
            return;
        }
        UpdateCommandStates();
    }
    uint32_t written = 0;
    if (!bytes.empty() &&
        m_port.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), written) != 0) {
        ShowMessage(tr("发送失败：%1 字节中只发出了 %2 字节（%3）。")
                        .arg(bytes.size())
                        .arg(written)
                        .arg(QString::fromStdString(m_port.m_strDevice)),
                    QStringLiteral("TavixTool"), QMessageBox::Warning, true);
        return;
    }
    m_wndMessage->setText(tr("已发送 %1 字节：%2")
                              .arg(bytes.size())
                              .arg(QString::fromStdString(stream::BytesToHex(bytes))));
    SaveSendHistory(text);
}

void CMainFrame::SaveSendHistory(const QString& text) {
    QStringList history = QSettings().value(QString::fromUtf8(kSendHistoryKey)).toStringList();
    history.removeAll(text);
    history.prepend(text);
    while (history.size() > kSendHistory)
        history.removeLast();
    QSettings().setValue(QString::fromUtf8(kSendHistoryKey), history);
    m_wndSendCombo->blockSignals(true);
    m_wndSendCombo->clear();
    m_wndSendCombo->addItems(history);
    m_wndSendCombo->setCurrentIndex(0);
    m_wndSendCombo->blockSignals(false);
}

void CMainFrame::CreateAccelerators() {
    auto add = [this](const QList<QKeySequence>& keys, auto handler) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
        return action;
    };
    add({QKeySequence(Qt::CTRL | Qt::Key_N)}, [this] { emit fileNewRequested(); });
    add({QKeySequence(Qt::CTRL | Qt::Key_O)}, [this] { emit fileOpenRequested(); });
    add({QKeySequence(Qt::CTRL | Qt::Key_S)}, [this] { OnFileSave(); });
    add({QKeySequence(Qt::CTRL | Qt::Key_P)}, [this] {
        if (m_pView != nullptr)
            m_pView->OnFilePrint();
    });
    add({QKeySequence(Qt::Key_F6)}, [this] { OnNextPane(true); });
    add({QKeySequence(Qt::SHIFT | Qt::Key_F6)}, [this] { OnNextPane(false); });
}

void CMainFrame::OnFileSave() {
    if (m_pDocument == nullptr)
        return;
    QString path = m_pDocument->GetPathName();
    if (path.isEmpty()) {
        path = QFileDialog::getSaveFileName(this, QString(), QStringLiteral("TavixT"));
        if (path.isEmpty())
            return;
    }
    if (!m_pDocument->OnSaveDocument(path)) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("TavixTool"),
                        tr("无法保存文件：%1").arg(path), QMessageBox::Ok, this);
        box.button(QMessageBox::Ok)->setText(tr("确定"));
        box.exec();
    }
}

void CMainFrame::OnNextPane(bool forward) {
    (void)forward;  // two panes: both directions lead to the other one
    QWidget* focus = QApplication::focusWidget();
    const bool inPanel = focus != nullptr && m_wndTaskPanel->isAncestorOf(focus);
    QWidget* target = inPanel ? static_cast<QWidget*>(m_pView) : m_wndTaskPanel;
    target->setFocus(Qt::OtherFocusReason);
    if (QWidget* next = target->nextInFocusChain(); !target->hasFocus() && next != nullptr)
        next->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------
// Port and baud lists

int CMainFrame::LoadPortSettings() {
    const ComSettings saved = LoadComSection(m_strSettingsPath);

    // A port saved by name is chosen by name, and offered while its device
    // is away; files without the name choose by position, as they always did.
    m_strTypedDevice = saved.device;
    m_strChosenPort = saved.port;
    m_strChosenIdentity.clear();
    FillPortList(ProbePortEntries(), std::string());
    m_bFillingPorts = true;
    m_wndPortCombo->setCurrentIndex(saved.port.empty()
                                        ? PortSelectionFor(saved.com, m_wndPortCombo->count())
                                        : FindPortEntry(saved.port));
    m_bFillingPorts = false;
    RememberPortChoice();

    const std::vector<std::string> bauds = BaudList(saved.baunds);
    m_wndBaudCombo->clear();
    m_wndBaudCombo->addItems(ToStringList(bauds));
    m_wndBaudCombo->setCurrentIndex(PreselectBaud(bauds, saved.baund));
    m_bBaudTyped = false;
    return 1;
}

int CMainFrame::OnDeviceChange() {
    // The port this program has open cannot be locked by the probe; it stays
    // on offer.
    const std::string held = IsPortOpen() ? m_port.m_strDevice : std::string();
    const std::vector<CPortEntry> entries = ProbePortEntries(held);
    if (!m_strChosenPort.empty() && !m_strChosenIdentity.empty()) {
        // Another device where the chosen one was is not the user's choice.
        for (const CPortEntry& e : entries)
            if (e.name == m_strChosenPort && DeviceIdentity(e.device) != m_strChosenIdentity)
                m_strChosenPort.clear();
    }
    FillPortList(entries, held);
    m_bFillingPorts = true;
    m_wndPortCombo->setCurrentIndex(
        m_strChosenPort.empty() ? 0 : std::max(0, FindPortEntry(m_strChosenPort)));
    m_bFillingPorts = false;
    // A device that was away when it was chosen is known from now on.
    if (m_strChosenPort.empty() || m_strChosenIdentity.empty())
        RememberPortChoice();
    return 1;
}

void CMainFrame::FillPortList(std::vector<CPortEntry> entries, const std::string& heldDevice) {
    if (!m_strTypedDevice.empty())
        entries.push_back(ProbeEntry(m_strTypedDevice, m_strTypedDevice, heldDevice));
    const bool offered = std::any_of(entries.begin(), entries.end(), [this](const CPortEntry& e) {
        return e.name == m_strChosenPort;
    });
    if (!m_strChosenPort.empty() && !offered) {
        // The chosen port, while its device is away, in its place by number.
        const int number =
            m_strChosenPort.rfind("COM", 0) == 0 ? TextToNumber(m_strChosenPort.substr(3)) : 0;
        CPortEntry away;
        away.name = m_strChosenPort;
        away.device = number > 0 ? PortDevicePath(number) : m_strChosenPort;
        away.state = PortState::Missing;
        auto at = std::find_if(entries.begin(), entries.end(), [number](const CPortEntry& e) {
            return number == 0 || e.name.rfind("COM", 0) != 0 ||
                   TextToNumber(e.name.substr(3)) > number;
        });
        entries.insert(at, away);
    }
    m_bFillingPorts = true;
    m_wndPortCombo->clear();
    m_wndPortCombo->addItem(QString::fromUtf8(PortPrompt()));
    for (const CPortEntry& e : entries) {
        m_wndPortCombo->addItem(QString::fromStdString(e.Text()));
        const int i = m_wndPortCombo->count() - 1;
        m_wndPortCombo->setItemData(i, QString::fromStdString(e.name), kPortNameRole);
        m_wndPortCombo->setItemData(i, QString::fromStdString(e.device), kPortDeviceRole);
        m_wndPortCombo->setItemData(i, e.name == m_strTypedDevice, kPortTypedRole);
        m_wndPortCombo->setItemData(i, QString::fromStdString(PortEntryDetail(e)), Qt::ToolTipRole);
    }
    m_bFillingPorts = false;
}

int CMainFrame::FindPortEntry(const std::string& name) const {
    const int found = m_wndPortCombo->findData(QString::fromStdString(name), kPortNameRole);
    return found > 0 ? found : -1;
}

void CMainFrame::RememberPortChoice() {
    const int i = m_wndPortCombo->currentIndex();
    if (i <= 0) {
        m_strChosenPort.clear();
        m_strChosenIdentity.clear();
        return;
    }
    m_strChosenPort = m_wndPortCombo->itemData(i, kPortNameRole).toString().toStdString();
    m_strChosenIdentity =
        DeviceIdentity(m_wndPortCombo->itemData(i, kPortDeviceRole).toString().toStdString());
}

void CMainFrame::OnEnterDevicePath() {
    bool ok = false;
    const QString typed =
        QInputDialog::getText(
            this, QStringLiteral("TavixTool"),
            tr("串口设备的路径（如 /dev/ttyAMA0，或 "
               "/dev/serial/by-id/ 下的名字；留空则不再提供）："),
            QLineEdit::Normal,
            QString::fromStdString(m_strTypedDevice.empty() ? "/dev/" : m_strTypedDevice), &ok)
            .trimmed();
    if (!ok)
        return;
    if (!typed.isEmpty() && !typed.startsWith(QLatin1Char('/'))) {
        ShowMessage(tr("设备路径要以 / 开头，例如 /dev/ttyAMA0。"), QStringLiteral("TavixTool"),
                    QMessageBox::Warning, true);
        return;
    }
    if (m_strChosenPort == m_strTypedDevice)
        m_strChosenPort.clear();
    m_strTypedDevice = typed.toStdString();
    WatchTypedDevice();
    const std::string held = IsPortOpen() ? m_port.m_strDevice : std::string();
    FillPortList(ProbePortEntries(held), held);
    m_bFillingPorts = true;
    m_wndPortCombo->setCurrentIndex(typed.isEmpty() ? std::max(0, FindPortEntry(m_strChosenPort))
                                                    : FindPortEntry(m_strTypedDevice));
    m_bFillingPorts = false;
    RememberPortChoice();
}

void CMainFrame::WatchTypedDevice() {
    if (m_pDeviceWatcher != nullptr)
        m_pDeviceWatcher->SetExtraDevices(
            m_strTypedDevice.empty() ? QStringList()
                                     : QStringList{QString::fromStdString(m_strTypedDevice)});
}

void CMainFrame::SavePortSettings() {
    if (m_wndBaudCombo == nullptr || m_wndPortCombo == nullptr)
        return;
    const int baudSelection = m_bBaudTyped ? -1 : m_wndBaudCombo->currentIndex();
    const ComSection section = BuildComSection(
        Entries(m_wndBaudCombo), baudSelection, m_wndBaudCombo->currentText().toStdString(),
        m_wndPortCombo->currentIndex(), GetPortText(), m_strTypedDevice);
    SaveComSection(section, m_strSettingsPath);
}

// The port owner reads the lists on the user-interface thread: the open
// button, and a capture's start, which hands the choice to its worker.
int CMainFrame::GetBaudSelection() {
    return m_bBaudTyped ? -1 : m_wndBaudCombo->currentIndex();
}

std::string CMainFrame::GetBaudText() {
    return m_wndBaudCombo->currentText().toStdString();
}

int CMainFrame::GetPortSelection() {
    return m_wndPortCombo->currentIndex();
}

std::string CMainFrame::GetPortText() {
    const QVariant name = m_wndPortCombo->currentData(kPortNameRole);
    return (name.isValid() ? name.toString() : m_wndPortCombo->currentText()).toStdString();
}

std::string CMainFrame::GetPortDevice() {
    return m_wndPortCombo->currentData(kPortTypedRole).toBool()
               ? m_wndPortCombo->currentData(kPortDeviceRole).toString().toStdString()
               : std::string();
}

void CMainFrame::ApplyHeaderByte() {
    if (m_pView == nullptr || m_wndHeaderSpin == nullptr)
        return;
    for (CCapturePage* page : m_pView->CapturePages())
        if (!page->CaptureRunning())
            page->m_byHeader = static_cast<uint8_t>(m_wndHeaderSpin->value());
}

bool CMainFrame::AnyCaptureRunning() const {
    if (m_pView == nullptr)
        return false;
    const std::vector<CCapturePage*> pages = m_pView->CapturePages();
    return std::any_of(pages.begin(), pages.end(),
                       [](CCapturePage* page) { return page->CaptureRunning(); });
}

void CMainFrame::ShowPortMessage(const std::string& text, const std::string& caption) {
    // From a capture worker the box is posted, and the worker goes on: it
    // never waits for the user-interface thread.
    m_invoker.Post([this, t = QString::fromStdString(text), c = QString::fromStdString(caption)] {
        ShowMessage(t, c, QMessageBox::NoIcon, true);
    });
}

void CMainFrame::ShowMessage(const QString& text, const QString& caption, int icon, bool modal) {
    if (m_showMessage) {
        m_showMessage(text, caption);
        return;
    }
    QMessageBox* box = CreateMessageBox(this, icon, caption, text);
    if (modal) {
        box->exec();
        delete box;
        return;
    }
    // Not even window-modal (as QDialog::open would make it): the window's
    // controls, the stop button among them, and its close go on working.
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

QMessageBox* CMainFrame::CreateMessageBox(QWidget* parent, int icon, const QString& caption,
                                          const QString& text) {
    auto* box = new QMessageBox(static_cast<QMessageBox::Icon>(icon), caption, text,
                                QMessageBox::Ok, parent);
    box->button(QMessageBox::Ok)->setText(tr("确定"));
    // A message box sizes itself to its text; a short text ("请选择串口号!")
    // left so little room that the caption showed as "…".
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        const int room = box->fontMetrics().horizontalAdvance(caption) + kTitleBarRoom;
        grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

void CMainFrame::TellSettingsFailure(const std::string& path, int error) {
    if (m_bSettingsFailureTold)
        return;
    m_bSettingsFailureTold = true;
    const std::string text = ProfileWriteFailureText(path, error);
    // No box once the window is closing or gone (a closing program, a logout).
    if (!isVisible() || m_bClosing) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    // Not modal: a close request (a logout, the window's close button) must
    // reach the window while the box is up.
    ShowMessage(QString::fromStdString(text), QStringLiteral("TavixTool"), QMessageBox::Warning,
                false);
}

void CMainFrame::CheckPortSharing() {
    // A program on the board's end of a pseudo-terminal (the simulator, an
    // emulator) holds this end too to keep the line's settings; it takes no
    // bytes from this end and is left out.
    std::vector<CDeviceHolder> holders;
    if (IsPortOpen())
        holders = FindCompetingHolders(m_port.m_strDevice);
    else
        m_sharingPidsTold.clear();
    if (holders.empty()) {
        if (m_bSharingShown && m_wndMessage != nullptr)
            m_wndMessage->setText(tr(kReady));
        m_bSharingShown = false;
        return;
    }
    bool modemManager = false, fresh = false;
    for (const CDeviceHolder& h : holders) {
        modemManager = modemManager || h.name == "ModemManager";
        if (std::find(m_sharingPidsTold.begin(), m_sharingPidsTold.end(), h.pid) ==
            m_sharingPidsTold.end()) {
            m_sharingPidsTold.push_back(h.pid);
            fresh = true;
        }
    }
    QString message = tr("注意：%1 同时被 %2 打开，它可能取走摄像头板发来的数据。")
                          .arg(QString::fromStdString(m_port.m_strDevice),
                               QString::fromStdString(DescribeHolders(holders)));
    if (modemManager)
        message +=
            tr("可以让 ModemManager 不碰这个设备：给它加 udev 规则 "
               "ENV{ID_MM_DEVICE_IGNORE}=\"1\"，或者 sudo systemctl stop ModemManager。");
    if (m_wndMessage != nullptr)
        m_wndMessage->setText(message);
    m_bSharingShown = true;
    // Not modal: the capture and the window go on while it is shown.
    if (fresh && !m_bClosing)
        ShowMessage(message, QStringLiteral("TavixTool"), QMessageBox::Warning, false);
}

void CMainFrame::OnUpdatePortOpen() {
    if (m_actPortOpen != nullptr)
        m_actPortOpen->setEnabled(IsPortOpen() == 0);
}

void CMainFrame::OnUpdatePortClose() {
    if (m_actPortClose != nullptr)
        m_actPortClose->setEnabled(IsPortOpen() != 0);
}

void CMainFrame::UpdateCommandStates() {
    OnUpdatePortOpen();
    OnUpdatePortClose();
}

void CMainFrame::UpdateLockIndicators() {
    LockKeyState state;
    const bool known = QueryLockKeyState(state);
    const bool on[3] = {state.caps, state.num, state.scroll};
    for (int i = 0; i < 3; ++i) {
        QLabel* label = m_wndIndicators[i];
        if (label == nullptr)
            continue;
        // Where the lock state is known, a pane is there only while its lock
        // is on (no empty boxes); elsewhere it shows its text greyed.
        label->setVisible(!known || on[i]);
        label->setEnabled(known);
    }
}

// ---------------------------------------------------------------------------
// Commands

void CMainFrame::OnShowHelp() {
    const std::string path = ProgramDataDirectory() + HelpFileName(tx::CurrentLanguage());
    ResolveHtmlHelp(nullptr, path, 0, 0);
}

void CMainFrame::OnChooseLanguage(bool english) {
    const tx::Language chosen = english ? tx::Language::English : tx::Language::Chinese;
    m_actEnglish->setChecked(english);
    m_actChinese->setChecked(!english);
    const tx::Language stored = ReadWindowLanguage(m_strSettingsPath);
    if (chosen == stored)
        return;
    if (!WriteWindowLanguage(chosen, m_strSettingsPath))
        return;  // the settings failure has been said
    if (chosen == tx::CurrentLanguage())
        return;  // back to the language shown: nothing to restart for
    // Said in the language chosen, which the user reads.
    const QString text =
        english ? QStringLiteral("The window shows English after a restart. Restart now?")
                : QStringLiteral("重新启动后窗口显示中文。现在重新启动吗？");
    bool restart = false;
    if (m_askRestart) {
        restart = m_askRestart(text);
    } else {
        // Its buttons too in the language chosen, not in the one shown.
        QMessageBox box(QMessageBox::Question, QStringLiteral("语言 / Language"), text,
                        QMessageBox::Yes | QMessageBox::No, this);
        box.button(QMessageBox::Yes)
            ->setText(english ? QStringLiteral("Yes") : QStringLiteral("是"));
        box.button(QMessageBox::No)->setText(english ? QStringLiteral("No") : QStringLiteral("否"));
        restart = box.exec() == QMessageBox::Yes;
    }
    if (restart) {
        emit restartRequested();
        close();
    }
}

int CMainFrame::OnTaskPanelNotify(int code, int id) {
    if (code != CTaskPanel::kItemClicked)
        return 0;
    if ((id == CTavixToolView::kBlackPageId || id == CTavixToolView::kColourPageId) &&
        m_pView != nullptr)
        m_pView->ShowPage(id);
    return 0;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    m_bClosing = true;
    SavePortSettings();
    if (m_bHeaderChanged)
        WriteHeaderByte(static_cast<uint8_t>(m_wndHeaderSpin->value()), m_strSettingsPath);
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

bool CMainFrame::StartReplay(const QString& path, QString& error) {
    return m_pReplayBar != nullptr && m_pReplayBar->Start(path, error);
}

void CMainFrame::UpdateLinkHealth() {
    // The page on screen; before any is shown, nothing.
    CCapturePage* page = nullptr;
    if (m_pView != nullptr) {
        if (m_pView->m_pBlackPage != nullptr && m_pView->m_pBlackPage->isVisible())
            page = m_pView->m_pBlackPage;
        else if (m_pView->m_pColourPage != nullptr && m_pView->m_pColourPage->isVisible())
            page = m_pView->m_pColourPage;
    }
    if (m_pView != nullptr)
        for (CCapturePage* p : m_pView->CapturePages())
            p->UpdateWireGeometry();
    if (page != m_pHealthPage)
        m_linkMeter.Clear();
    m_pHealthPage = page;
    const CLinkStatistics now = page != nullptr ? page->GetLinkStatistics() : CLinkStatistics();
    const CLinkHealth health =
        m_linkMeter.Add(now, LinkClockMicroseconds(), TextToNumber(CurrentChoice().baudText));
    if (page == nullptr || health.level == CLinkHealth::Level::Idle) {
        m_wndLinkHealth->hide();
        return;
    }
    static const char* const kColours[] = {"", "#c8f0c8", "#fff0a0", "#ffc0c0"};
    m_wndLinkHealth->setStyleSheet(
        QStringLiteral("QLabel { background: %1; padding: 0 4px; }")
            .arg(QLatin1String(kColours[static_cast<int>(health.level)])));
    QString text = QString::fromStdString(health.Text());
    // Frames the board numbered and that never arrived.
    if (now.framesLost > 0)
        text = tr("%1  丢帧（计数）%2").arg(text, QString::number(now.framesLost));
    m_wndLinkHealth->setText(text);
    m_wndLinkHealth->show();
}
