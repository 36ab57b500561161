#include "pages/BlackPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "pages/PageCommon.h"
#include "pages/PageSettings.h"
#include "pages/PictureView.h"
#include "pages/ValueListing.h"
#include "shell/HyperLink.h"

namespace {

const QString kCaptureOne = QStringLiteral("采集一幅图");
const QString kCaptureContinuous = QStringLiteral("连续采集");
// Status calls replace each other while queued.
constexpr int kStatusCall = 1;

}  // namespace

CBlackPage::CBlackPage() : m_strSettingsPath(SettingsFilePath()) {
    m_byFormat = 0;
    m_bShowImage = 1;
    m_showWarning = page::WarningBox(this);
}

CBlackPage::~CBlackPage() {
    // The engine stops first: the exchange from the controls writes the
    // parameters that a running worker reads.
    m_invoker.Shutdown();
    ShutdownEngine();
    if (m_bCreated)
        SaveSettings();
    if (m_pictureView != nullptr)
        m_pictureView->SetSurface(nullptr);
}

bool CBlackPage::Create(QWidget* parent) {
    if (m_bCreated)
        return false;
    m_pictureView = page::BuildPage(*this, m_template, 102, parent, m_wndPicture);
    if (m_pictureView == nullptr)
        return false;
    m_editValues = new CValueListing;
    m_template.Replace(*this, 1000, m_editValues);
    m_linkAbout = qobject_cast<CHyperLink*>(Control(1029));
    m_linkProduct1 = qobject_cast<CHyperLink*>(Control(1027));
    m_linkProduct2 = qobject_cast<CHyperLink*>(Control(1028));

    connect(Button(1002), &QPushButton::clicked, this, [this] { OnCaptureOne(); });
    connect(Button(1019), &QPushButton::clicked, this, [this] { OnCaptureContinuous(); });
    connect(qobject_cast<QCheckBox*>(Control(1011)), &QCheckBox::clicked, this,
            [this] { OnShowImage(); });
    connect(qobject_cast<QCheckBox*>(Control(1010)), &QCheckBox::clicked, this,
            [this] { OnShowBinary(); });
    connect(qobject_cast<QRadioButton*>(Control(1017)), &QRadioButton::clicked, this,
            [this] { OnOneToOne(); });
    connect(qobject_cast<QRadioButton*>(Control(1018)), &QRadioButton::clicked, this,
            [this] { OnScaleToArea(); });
    m_bCreated = true;
    OnInitDialog();
    return true;
}

void CBlackPage::OnInitDialog() {
    DoDataExchange(false);
    for (CHyperLink* link : {m_linkAbout, m_linkProduct1, m_linkProduct2})
        link->Attach();
    LoadSettings();
    m_fontLabels = page::SetUpLabels(Control(1016), m_linkAbout, m_linkProduct1, m_linkProduct2);
    ShowStatus(kWelcomeText);
}

QWidget* CBlackPage::Control(int id) const {
    return CDialogTemplate::Control(*this, id);
}
QLineEdit* CBlackPage::Box(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}
QPushButton* CBlackPage::Button(int id) const {
    return qobject_cast<QPushButton*>(Control(id));
}

void CBlackPage::Enable(std::initializer_list<int> ids, bool enable) {
    for (int id : ids)
        Control(id)->setEnabled(enable);
}

bool CBlackPage::DoDataExchange(bool save) {
    auto* image = qobject_cast<QCheckBox*>(Control(1011));
    auto* values = qobject_cast<QCheckBox*>(Control(1010));
    auto* scale = qobject_cast<QRadioButton*>(Control(1018));
    auto* oneToOne = qobject_cast<QRadioButton*>(Control(1017));
    if (!save) {
        page::ShowUnsigned(Box(1004), m_nThreshold);
        page::ShowUnsigned(Box(1008), m_nColumns);
        image->setChecked(m_bShowImage != 0);
        values->setChecked(m_bShowValues != 0);
        page::ShowUnsigned(Box(1013), m_nColumnGap);
        page::ShowUnsigned(Box(1009), m_nRowGap);
        page::ShowUnsigned(Box(1007), m_nRows);
        (m_bScaleToArea ? scale : oneToOne)->setChecked(true);
        return true;
    }
    // In the order of the controls' exchange; the first failing box ends it.
    const uint32_t none = 1, any = 0;  // low > high: no range
    if (!page::ExchangeUnsigned(Box(1004), m_nThreshold, none, any, m_showWarning) ||
        !page::ExchangeUnsigned(Box(1008), m_nColumns, 1, 9999, m_showWarning))
        return false;
    m_bShowImage = image->isChecked() ? 1 : 0;
    m_bShowValues = values->isChecked() ? 1 : 0;
    if (!page::ExchangeUnsigned(Box(1013), m_nColumnGap, 0, 1000, m_showWarning) ||
        !page::ExchangeUnsigned(Box(1009), m_nRowGap, 0, 1000, m_showWarning) ||
        !page::ExchangeUnsigned(Box(1007), m_nRows, 1, 9999, m_showWarning))
        return false;
    m_bScaleToArea = scale->isChecked() ? 1 : 0;
    return true;
}

void CBlackPage::LoadSettings() {
    m_byHeader = ReadHeaderByte(m_strSettingsPath);
    const CBlackSettings s = CBlackSettings::Load(m_strSettingsPath);
    m_nRows = static_cast<uint32_t>(s.row);
    m_nColumns = static_cast<uint32_t>(s.column);
    m_bShowValues = s.bnumbr;
    m_nThreshold = static_cast<uint32_t>(s.threshold);
    m_bShowImage = s.bimage;
    m_nRowGap = static_cast<uint32_t>(s.interrow);
    m_nColumnGap = static_cast<uint32_t>(s.intercolumn);
    DoDataExchange(false);
    UpdateControlStates();
}

void CBlackPage::SaveSettings() {
    // At exit, when no window is left to own a message box: each box is
    // taken on its own and without a word, and a box that fails its check
    // leaves its key in the file as it was.
    std::vector<std::string> skip;
    auto take = [&](int id, uint32_t& member, uint32_t low, uint32_t high, const char* key) {
        if (!page::ExchangeUnsigned(Box(id), member, low, high, nullptr))
            skip.push_back(key);
    };
    const uint32_t none = 1, any = 0;  // low > high: no range
    take(1004, m_nThreshold, none, any, "threshold");
    take(1008, m_nColumns, 1, 9999, "column");
    take(1013, m_nColumnGap, 0, 1000, "intercolumn");
    take(1009, m_nRowGap, 0, 1000, "interrow");
    take(1007, m_nRows, 1, 9999, "row");
    m_bShowImage = qobject_cast<QCheckBox*>(Control(1011))->isChecked() ? 1 : 0;
    m_bShowValues = qobject_cast<QCheckBox*>(Control(1010))->isChecked() ? 1 : 0;
    m_bScaleToArea = qobject_cast<QRadioButton*>(Control(1018))->isChecked() ? 1 : 0;
    CBlackSettings s;
    s.row = static_cast<int>(m_nRows);
    s.column = static_cast<int>(m_nColumns);
    s.bnumbr = m_bShowValues;
    s.threshold = static_cast<int>(m_nThreshold);
    s.bimage = m_bShowImage;
    s.interrow = static_cast<int>(m_nRowGap);
    s.intercolumn = static_cast<int>(m_nColumnGap);
    s.Save(m_strSettingsPath, skip);
}

void CBlackPage::UpdateControlStates() {
    Enable({1017, 1018}, m_bShowImage != 0);
    Enable({1004}, m_bShowValues != 0);
    Enable({1007, 1008, 1009, 1013}, m_bShowImage != 0 || m_bShowValues != 0);
}

void CBlackPage::OnShowImage() {
    m_bShowImage = m_bShowImage == 0 ? 1 : 0;
    UpdateControlStates();
}

void CBlackPage::OnShowBinary() {
    m_bShowValues = m_bShowValues == 0 ? 1 : 0;
    UpdateControlStates();
}

void CBlackPage::OnOneToOne() {
    m_bScaleToArea = 0;
}
void CBlackPage::OnScaleToArea() {
    m_bScaleToArea = 1;
}

void CBlackPage::OnCaptureOne() {
    OnCapture(0, 1002, kCaptureOne);
}
void CBlackPage::OnCaptureContinuous() {
    OnCapture(1, 1019, kCaptureContinuous);
}

void CBlackPage::OnCapture(int mode, int buttonId, const QString& idleCaption) {
    page::CaptureClicked(
        *this, mode, Button(buttonId), idleCaption,
        [this](std::string& message) { return ValidateParameters(message); },
        [this] { m_editValues->SetCapacity(static_cast<size_t>(m_nRows) + m_nFrameSize); });
}

bool CBlackPage::ValidateParameters(std::string& message) {
    const QRect area = m_pictureView->geometry().normalized();
    m_nAreaHeight = area.height();
    m_nAreaWidth = area.width();
    if (m_bShowImage == 0 && m_bShowValues == 0) {
        message = "请至少选择一项显示方式：“串口图像”或“二值化图像”";
        return false;
    }
    if (!page::ValidateSizeAndGaps(Box(1007), Box(1008), Box(1013), Box(1009), *this, message))
        return false;
    m_nThreshold = static_cast<uint32_t>(page::BoxNumber(Box(1004)));
    if (page::BoxEmpty(Box(1004))) {
        message = "请输入二值化阀值";
        return false;
    }
    return true;
}

void CBlackPage::ShowStatus(std::string text) {
    // Posted, never waited for; a newer status replaces one not yet shown.
    m_invoker.Post([this, t = QString::fromStdString(
                              text)] { qobject_cast<QLabel*>(Control(1016))->setText(t); },
                   kStatusCall);
}

void CBlackPage::OnCaptureBegin() {
    const int mode = m_nMode;
    m_invoker.Post([this, mode] {
        Enable({1011, 1017, 1018, 1010, 1004, 1008, 1007, 1013, 1009}, false);
        if (mode == 0)
            Enable({1019}, false);
        else if (mode == 1)
            Enable({1002}, false);
    });
}

void CBlackPage::OnCaptureEnd() {
    const int mode = m_nMode;
    m_invoker.Post([this, mode] {
        if (mode == 0)
            Button(1002)->setText(kCaptureOne);
        else if (mode == 1)
            Button(1019)->setText(kCaptureContinuous);
        Enable({1011, 1010, 1019, 1002}, true);
        UpdateControlStates();
    });
}

void CBlackPage::ClearPicture() {
    m_wndPicture.Fill(0xF0F0F0);
}

void CBlackPage::ClearValueList() {
    m_editValues->Clear();
}

void CBlackPage::AppendValue(uint8_t value, int endOfRow) {
    if (endOfRow)
        m_editValues->Append('\n');
    else
        m_editValues->Append(value > m_nThreshold ? '1' : '0');
}
