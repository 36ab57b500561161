#include "pages/CapturePage.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "pages/ControlIds.h"
#include "settings/SettingsPath.h"
#include "settings/TextToNumber.h"
#include "ui/HyperLink.h"
#include "ui/PictureView.h"

namespace {

const QString kCaptureOne = QStringLiteral("采集一幅图");
const QString kCaptureContinuous = QStringLiteral("连续采集");
const QString kStop = QStringLiteral("停止采集");
// Status calls replace each other while queued.
constexpr int kStatusCall = 1;
// The picture area's colour before and between pictures.
constexpr uint32_t kBackground = 0xF0F0F0;

// Bold Arial 12 (Liberation Sans where Arial is missing, the same metrics).
QFont LabelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setWeight(QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    if (!QFontDatabase::families().contains(QStringLiteral("Arial")))
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    return font;
}

QString HelpPage(const char* name) {
    return QUrl::fromLocalFile(QString::fromStdString(GetExeDirectory()) + QStringLiteral("help/") +
                               QLatin1String(name))
        .toString();
}

}  // namespace

QString AboutAddress() {
    return HelpPage("about.html");
}
QString CameraBoardAddress() {
    return HelpPage("camera-board.html");
}
QString SimulatorAddress() {
    return HelpPage("simulator.html");
}

CCapturePage::CCapturePage(std::string settingsPath, uint8_t format, Layout layout)
    : m_strSettingsPath(std::move(settingsPath)), m_layout(std::move(layout)) {
    m_byFormat = format;
    m_bShowImage = 1;
    m_showWarning = [this](const QString& text) {
        QMessageBox::warning(this, QStringLiteral("TavixTool"), text);
    };
}

CCapturePage::~CCapturePage() {
    // The page's own destructor has run Shutdown(); this is for a page that
    // was never created.
    m_invoker.Shutdown();
    ShutdownEngine();
}

void CCapturePage::Shutdown() {
    if (m_bShutDown)
        return;
    m_bShutDown = true;
    // The engine stops first: the exchange from the controls writes the
    // parameters that a running worker reads.
    m_invoker.Shutdown();
    ShutdownEngine();
    if (m_bCreated)
        SaveSettings();
    if (m_pictureView != nullptr)
        m_pictureView->SetSurface(nullptr);
}

bool CCapturePage::Create(QWidget* parent) {
    if (m_bCreated || !m_template.Load(m_layout.templateId))
        return false;
    setParent(parent);
    hide();
    m_template.Build(*this);
    // The picture view takes the place of the picture control; the surface
    // takes its size and the background colour.
    m_pictureView = new CPictureView(&m_wndPicture);
    m_template.Replace(*this, IDC_PICTURE, m_pictureView);
    m_wndPicture.Resize(m_pictureView->width(), m_pictureView->height());
    m_wndPicture.Fill(kBackground);

    m_linkAbout = qobject_cast<CHyperLink*>(Control(m_layout.about));
    m_linkProduct1 = qobject_cast<CHyperLink*>(Control(m_layout.product1));
    m_linkProduct2 = qobject_cast<CHyperLink*>(Control(m_layout.product2));
    connect(Button(IDC_CAPTURE_ONE), &QPushButton::clicked, this, [this] { OnCaptureOne(); });
    connect(Button(m_layout.continuousButton), &QPushButton::clicked, this,
            [this] { OnCaptureContinuous(); });
    OnCreate();
    m_bCreated = true;
    OnInitDialog();
    return true;
}

void CCapturePage::OnInitDialog() {
    DoDataExchange(false);
    for (CHyperLink* link : {m_linkAbout, m_linkProduct1, m_linkProduct2})
        link->Attach();
    if (m_layout.loadSettingsFirst)
        LoadSettings();
    SetUpLabels();
    if (!m_layout.loadSettingsFirst)
        LoadSettings();
    ShowStatus(kWelcomeText);
}

void CCapturePage::SetUpLabels() {
    m_fontLabels = LabelFont();
    Control(IDC_STATUS)->setFont(m_fontLabels);
    for (CHyperLink* link : {m_linkAbout, m_linkProduct1, m_linkProduct2})
        link->setFont(m_fontLabels);
    m_linkAbout->SetTarget(AboutAddress());
    m_linkProduct1->SetTarget(CameraBoardAddress());
    m_linkProduct2->SetTarget(SimulatorAddress());
}

QWidget* CCapturePage::Control(int id) const {
    return CDialogTemplate::Control(*this, id);
}
QLineEdit* CCapturePage::Box(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}
QPushButton* CCapturePage::Button(int id) const {
    return qobject_cast<QPushButton*>(Control(id));
}

void CCapturePage::Enable(std::initializer_list<int> ids, bool enable) {
    for (int id : ids)
        Control(id)->setEnabled(enable);
}
void CCapturePage::Enable(const std::vector<int>& ids, bool enable) {
    for (int id : ids)
        Control(id)->setEnabled(enable);
}

// ---------------------------------------------------------------------------
// The exchange with the boxes

int CCapturePage::BoxNumber(const QLineEdit* box) {
    return TextToNumber(box->text().toStdString());
}

bool CCapturePage::BoxEmpty(const QLineEdit* box) {
    return box->text().isEmpty();
}

bool CCapturePage::ExchangeUnsigned(const QLineEdit* box, uint32_t& member, uint32_t low,
                                    uint32_t high,
                                    const std::function<void(const QString&)>& warn) {
    const QString text = box->text().trimmed();
    bool digits = !text.isEmpty();
    for (const QChar c : text)
        digits = digits && c.isDigit() && c.unicode() < 128;
    bool ok = false;
    const qulonglong value = digits ? text.toULongLong(&ok) : 0;
    if (!ok || value > 0xFFFFFFFFull) {
        if (warn)
            warn(QStringLiteral("请输入一个正整数。"));
        return false;
    }
    member = static_cast<uint32_t>(value);
    if (high >= low && (member < low || member > high)) {
        if (warn)
            warn(QStringLiteral("请输入一个介于 %1 和 %2 之间的整数。").arg(low).arg(high));
        return false;
    }
    return true;
}

void CCapturePage::ShowUnsigned(QLineEdit* box, uint32_t value) {
    box->setText(QString::number(value));
}

// ---------------------------------------------------------------------------
// Capture start

void CCapturePage::MeasureArea() {
    const QRect area = m_pictureView->geometry().normalized();
    m_nAreaHeight = area.height();
    m_nAreaWidth = area.width();
}

bool CCapturePage::ValidateSizeAndGaps(std::string& message) {
    struct SizeBox {
        int id;
        uint32_t* member;
        const char *empty, *notPositive, *tooLarge;
    };
    for (const SizeBox& b : {SizeBox{IDC_ROWS, &m_nRows, "请输入图像行数",
                                     "整幅图的显示行数必须大于0", "图像行数不能大于9999"},
                             SizeBox{IDC_COLUMNS, &m_nColumns, "请输入图像列数",
                                     "整幅图的显示列数必须大于0", "图像列数不能大于9999"}}) {
        if (BoxEmpty(Box(b.id))) {
            message = b.empty;
            return false;
        }
        const int n = BoxNumber(Box(b.id));
        *b.member = static_cast<uint32_t>(n);
        if (n <= 0) {
            message = b.notPositive;
            return false;
        }
        if (n > 9999) {
            message = b.tooLarge;
            return false;
        }
    }
    m_nFrameSize = m_nRows * m_nColumns;
    struct GapBox {
        int id;
        uint32_t* member;
        const char *empty, *outOfRange;
    };
    for (const GapBox& b :
         {GapBox{IDC_COLUMN_GAP, &m_nColumnGap, "请输入间隔列数", "间隔列数必须在0到1000之间"},
          GapBox{IDC_ROW_GAP, &m_nRowGap, "请输入间隔行数", "间隔行数必须在0到1000之间"}}) {
        if (BoxEmpty(Box(b.id))) {
            message = b.empty;
            return false;
        }
        const int n = BoxNumber(Box(b.id));
        *b.member = static_cast<uint32_t>(n);
        if (n < 0 || n > 1000) {
            message = b.outOfRange;
            return false;
        }
    }
    return true;
}

void CCapturePage::OnCaptureOne() {
    OnCapture(0, IDC_CAPTURE_ONE, kCaptureOne);
}
void CCapturePage::OnCaptureContinuous() {
    OnCapture(1, m_layout.continuousButton, kCaptureContinuous);
}

// With the caption "停止采集" the button stops the capture; with its idle
// caption it validates, then shows "停止采集", prepares and starts the
// engine; any other caption does nothing.
void CCapturePage::OnCapture(int mode, int buttonId, const QString& idleCaption) {
    QPushButton* button = Button(buttonId);
    m_nMode = mode;
    const QString caption = button->text();
    if (caption == kStop) {
        StopWorker();
        return;
    }
    if (caption != idleCaption)
        return;
    std::string message;
    if (!ValidateParameters(message)) {
        ShowStatus(message);
        return;
    }
    button->setText(kStop);
    PrepareCapture();
    // The picture surface takes the size of the area just measured.
    if (m_wndPicture.Width() != m_nAreaWidth || m_wndPicture.Height() != m_nAreaHeight)
        m_wndPicture.Resize(m_nAreaWidth, m_nAreaHeight);
    if (StartWorker() == 0)
        ShowStatus("采集未能启动，请稍后再试");
}

// ---------------------------------------------------------------------------
// The engine's operations

void CCapturePage::ShowStatus(std::string text) {
    // Posted, never waited for; a newer status replaces one not yet shown.
    m_invoker.Post([this, t = QString::fromStdString(
                              text)] { qobject_cast<QLabel*>(Control(IDC_STATUS))->setText(t); },
                   kStatusCall);
}

void CCapturePage::OnCaptureBegin() {
    const int mode = m_nMode;
    m_invoker.Post([this, mode] {
        Enable(m_layout.parameters, false);
        if (mode == 0)
            Enable({m_layout.continuousButton}, false);
        else if (mode == 1)
            Enable({IDC_CAPTURE_ONE}, false);
    });
}

void CCapturePage::OnCaptureEnd() {
    const int mode = m_nMode;
    m_invoker.Post([this, mode] {
        if (mode == 0)
            Button(IDC_CAPTURE_ONE)->setText(kCaptureOne);
        else if (mode == 1)
            Button(m_layout.continuousButton)->setText(kCaptureContinuous);
        Enable(m_layout.enabledAtEnd, true);
        OnCaptureEnded();
    });
}

void CCapturePage::ClearPicture() {
    m_wndPicture.Fill(kBackground);
}
