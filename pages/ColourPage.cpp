#include "pages/ColourPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/PageCommon.h"
#include "pages/PageSettings.h"
#include "pages/PictureView.h"
#include "shell/HyperLink.h"

namespace {

const QString kCaptureOne = QStringLiteral("采集一幅图");
const QString kCaptureContinuous = QStringLiteral("连续采集");
// Status calls replace each other while queued.
constexpr int kStatusCall = 1;

}  // namespace

CColourPage::CColourPage() : m_strSettingsPath(SettingsFilePath()) {
    m_byFormat = 1;
    m_bShowImage = 1;
    m_showWarning = page::WarningBox(this);
}

CColourPage::~CColourPage() {
    // The engine stops first: the exchange from the controls writes the
    // parameters that a running worker reads.
    m_invoker.Shutdown();
    ShutdownEngine();
    if (m_bCreated)
        SaveSettings();
    if (m_pictureView != nullptr)
        m_pictureView->SetSurface(nullptr);
}

bool CColourPage::Create(QWidget* parent) {
    if (m_bCreated)
        return false;
    m_pictureView = page::BuildPage(*this, m_template, 103, parent, m_wndPicture);
    if (m_pictureView == nullptr)
        return false;
    m_linkProduct2 = qobject_cast<CHyperLink*>(Control(1024));
    m_linkAbout = qobject_cast<CHyperLink*>(Control(1025));
    m_linkProduct1 = qobject_cast<CHyperLink*>(Control(1023));

    connect(Button(1002), &QPushButton::clicked, this, [this] { OnCaptureOne(); });
    connect(Button(1022), &QPushButton::clicked, this, [this] { OnCaptureContinuous(); });
    connect(qobject_cast<QCheckBox*>(Control(1021)), &QCheckBox::clicked, this,
            [this] { OnScaleToArea(); });
    m_bCreated = true;
    OnInitDialog();
    return true;
}

void CColourPage::OnInitDialog() {
    DoDataExchange(false);
    for (CHyperLink* link : {m_linkAbout, m_linkProduct1, m_linkProduct2})
        link->Attach();
    m_fontLabels = page::SetUpLabels(Control(1016), m_linkAbout, m_linkProduct1, m_linkProduct2);
    LoadSettings();
    ShowStatus(kWelcomeText);
}

QWidget* CColourPage::Control(int id) const {
    return CDialogTemplate::Control(*this, id);
}
QLineEdit* CColourPage::Box(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}
QPushButton* CColourPage::Button(int id) const {
    return qobject_cast<QPushButton*>(Control(id));
}

void CColourPage::Enable(std::initializer_list<int> ids, bool enable) {
    for (int id : ids)
        Control(id)->setEnabled(enable);
}

bool CColourPage::DoDataExchange(bool save) {
    auto* scale = qobject_cast<QCheckBox*>(Control(1021));
    if (!save) {
        page::ShowUnsigned(Box(1008), m_nColumns);
        page::ShowUnsigned(Box(1013), m_nColumnGap);
        page::ShowUnsigned(Box(1009), m_nRowGap);
        page::ShowUnsigned(Box(1007), m_nRows);
        scale->setChecked(m_bScaleRequest != 0);
        return true;
    }
    // In the order of the controls' exchange, without ranges; the first box
    // that holds no unsigned number ends it.
    const uint32_t none = 1, any = 0;  // low > high: no range
    if (!page::ExchangeUnsigned(Box(1008), m_nColumns, none, any, m_showWarning) ||
        !page::ExchangeUnsigned(Box(1013), m_nColumnGap, none, any, m_showWarning) ||
        !page::ExchangeUnsigned(Box(1009), m_nRowGap, none, any, m_showWarning) ||
        !page::ExchangeUnsigned(Box(1007), m_nRows, none, any, m_showWarning))
        return false;
    m_bScaleRequest = scale->isChecked() ? 1 : 0;
    return true;
}

void CColourPage::LoadSettings() {
    m_byHeader = ReadHeaderByte(m_strSettingsPath);
    const CColourSettings s = CColourSettings::Load(m_strSettingsPath);
    m_nRows = static_cast<uint32_t>(s.row);
    m_nColumns = static_cast<uint32_t>(s.column);
    m_nRowGap = static_cast<uint32_t>(s.interrow);
    m_nColumnGap = static_cast<uint32_t>(s.intercolumn);
    DoDataExchange(false);
}

void CColourPage::SaveSettings() {
    // At exit, as on the grayscale page: each box on its own, without a
    // word; a box that fails its check leaves its key in the file as it was.
    std::vector<std::string> skip;
    auto take = [&](int id, uint32_t& member, const char* key) {
        const uint32_t none = 1, any = 0;  // low > high: no range
        if (!page::ExchangeUnsigned(Box(id), member, none, any, nullptr))
            skip.push_back(key);
    };
    take(1008, m_nColumns, "column");
    take(1013, m_nColumnGap, "intercolumn");
    take(1009, m_nRowGap, "interrow");
    take(1007, m_nRows, "row");
    m_bScaleRequest = qobject_cast<QCheckBox*>(Control(1021))->isChecked() ? 1 : 0;
    CColourSettings s;
    s.row = static_cast<int>(m_nRows);
    s.column = static_cast<int>(m_nColumns);
    s.interrow = static_cast<int>(m_nRowGap);
    s.intercolumn = static_cast<int>(m_nColumnGap);
    s.Save(m_strSettingsPath, skip);
}

// Takes effect at the next start, when the engine field follows.
void CColourPage::OnScaleToArea() {
    m_bScaleRequest = m_bScaleRequest == 0 ? 1 : 0;
}

void CColourPage::OnCaptureOne() {
    OnCapture(0, 1002, kCaptureOne);
}
void CColourPage::OnCaptureContinuous() {
    OnCapture(1, 1022, kCaptureContinuous);
}

void CColourPage::OnCapture(int mode, int buttonId, const QString& idleCaption) {
    page::CaptureClicked(
        *this, mode, Button(buttonId), idleCaption,
        [this](std::string& message) { return ValidateParameters(message); }, [] {});
}

bool CColourPage::ValidateParameters(std::string& message) {
    const QRect area = m_pictureView->geometry().normalized();
    m_nAreaHeight = area.height();
    m_nAreaWidth = area.width();
    m_bScaleToArea = m_bScaleRequest != 0 ? 1 : 0;
    if (!page::ValidateSizeAndGaps(Box(1007), Box(1008), Box(1013), Box(1009), *this, message))
        return false;
    return true;
}

void CColourPage::ShowStatus(std::string text) {
    // Posted, never waited for; a newer status replaces one not yet shown.
    m_invoker.Post([this, t = QString::fromStdString(
                              text)] { qobject_cast<QLabel*>(Control(1016))->setText(t); },
                   kStatusCall);
}

void CColourPage::OnCaptureBegin() {
    const int mode = m_nMode;
    m_invoker.Post([this, mode] {
        Enable({1021, 1008, 1007, 1013, 1009}, false);
        if (mode == 0)
            Enable({1022}, false);
        else if (mode == 1)
            Enable({1002}, false);
    });
}

void CColourPage::OnCaptureEnd() {
    const int mode = m_nMode;
    m_invoker.Post([this, mode] {
        if (mode == 0)
            Button(1002)->setText(kCaptureOne);
        else if (mode == 1)
            Button(1022)->setText(kCaptureContinuous);
        Enable({1021, 1008, 1007, 1013, 1009, 1022, 1002}, true);
    });
}

void CColourPage::ClearPicture() {
    m_wndPicture.Fill(0xF0F0F0);
}
