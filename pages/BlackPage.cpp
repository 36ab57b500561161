#include "pages/BlackPage.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>

#include "pages/ControlIds.h"
#include "settings/BlackSettings.h"
#include "settings/DataSection.h"
#include "stream/StreamSettings.h"
#include "ui/HistogramView.h"
#include "ui/ValueListing.h"

CBlackPage::CBlackPage(std::string settingsPath)
    : CCapturePage(
          std::move(settingsPath), 0,
          Layout{IDD_BLACK_PAGE,
                 IDC_CAPTURE_CONTINUOUS,
                 IDC_ABOUT,
                 IDC_PRODUCT1,
                 IDC_PRODUCT2,
                 {IDC_SHOW_IMAGE, IDC_ONE_TO_ONE, IDC_SCALE_TO_AREA, IDC_SHOW_BINARY, IDC_THRESHOLD,
                  IDC_COLUMNS, IDC_ROWS, IDC_COLUMN_GAP, IDC_ROW_GAP},
                 {IDC_SHOW_IMAGE, IDC_SHOW_BINARY, IDC_CAPTURE_CONTINUOUS, IDC_CAPTURE_ONE},
                 true}) {}

CBlackPage::~CBlackPage() {
    Shutdown();
}

void CBlackPage::OnCreate() {
    m_editValues = new CValueListing;
    m_template.Replace(*this, IDC_VALUES, m_editValues);
    m_valuesRect = m_editValues->geometry();
    // "复制为 C 数组 › 原始像素值": the last frame's shown pixels, as listed.
    m_editValues->m_rawValues = [this](uint32_t& rows, uint32_t& columns,
                                       std::vector<uint8_t>& values) {
        CFrameCopy frame;
        if (!LastFrame(frame))
            return false;
        values = frame.ShownValues(rows, columns);
        return !values.empty();
    };
    // The threshold slider fills the group box's room right of the box.
    QLineEdit* threshold = Box(IDC_THRESHOLD);
    m_sliderThreshold = new QSlider(Qt::Horizontal, this);
    m_sliderThreshold->setObjectName(QStringLiteral("ThresholdSlider"));
    m_sliderThreshold->setRange(0, 255);
    m_sliderThreshold->setToolTip(tr("拖动改变二值化阀值，最后一帧立刻按新阀值显示"));
    m_sliderThreshold->setGeometry(threshold->geometry().right() + 6, threshold->y(),
                                   threshold->width() * 55 / 36, threshold->height());
    connect(m_sliderThreshold, &QSlider::valueChanged, this,
            [this](int value) { OnThresholdSlider(value); });
    connect(threshold, &QLineEdit::textEdited, this, [this](const QString& text) {
        bool ok = false;
        const int value = text.trimmed().toInt(&ok);
        if (ok && value >= 0 && value <= 255) {
            const QSignalBlocker block(m_sliderThreshold);
            m_sliderThreshold->setValue(value);
        }
    });
    connect(qobject_cast<QCheckBox*>(Control(IDC_SHOW_IMAGE)), &QCheckBox::clicked, this,
            [this] { OnShowImage(); });
    connect(qobject_cast<QCheckBox*>(Control(IDC_SHOW_BINARY)), &QCheckBox::clicked, this,
            [this] { OnShowBinary(); });
    connect(qobject_cast<QRadioButton*>(Control(IDC_ONE_TO_ONE)), &QRadioButton::clicked, this,
            [this] { OnOneToOne(); });
    connect(qobject_cast<QRadioButton*>(Control(IDC_SCALE_TO_AREA)), &QRadioButton::clicked, this,
            [this] { OnScaleToArea(); });
}

namespace {

// The fewest lines the listing keeps when the page is fitted into a window.
constexpr int kMinimumListedLines = 8;

}  // namespace

QSize CBlackPage::MinimumPageSize() const {
    // The template's margins around the listing: beside it as left of it,
    // below it as in the template.
    const int below = std::max(0, m_templateSize.height() - m_valuesRect.bottom() - 1);
    const int lines = m_editValues != nullptr ? m_editValues->fontMetrics().lineSpacing() : 16;
    const int frame =
        m_editValues != nullptr ? m_editValues->height() - m_editValues->viewport()->height() : 20;
    return QSize(m_templateSize.width(),
                 m_valuesRect.top() + kMinimumListedLines * lines + frame + below);
}

void CBlackPage::FitTo(const QSize& area) {
    const QSize size = area.expandedTo(MinimumPageSize());
    resize(size);
    if (m_editValues == nullptr)
        return;
    const int below = std::max(0, m_templateSize.height() - m_valuesRect.bottom() - 1);
    m_editValues->setGeometry(m_valuesRect.left(), m_valuesRect.top(),
                              std::max(1, size.width() - 2 * m_valuesRect.left()),
                              std::max(1, size.height() - m_valuesRect.top() - below));
}

bool CBlackPage::DoDataExchange(bool save) {
    auto* image = qobject_cast<QCheckBox*>(Control(IDC_SHOW_IMAGE));
    auto* values = qobject_cast<QCheckBox*>(Control(IDC_SHOW_BINARY));
    auto* scale = qobject_cast<QRadioButton*>(Control(IDC_SCALE_TO_AREA));
    auto* oneToOne = qobject_cast<QRadioButton*>(Control(IDC_ONE_TO_ONE));
    if (!save) {
        ShowUnsigned(Box(IDC_THRESHOLD), m_nThreshold);
        ShowUnsigned(Box(IDC_COLUMNS), m_nColumns);
        image->setChecked(m_bShowImage != 0);
        values->setChecked(m_bShowValues != 0);
        ShowUnsigned(Box(IDC_COLUMN_GAP), m_nColumnGap);
        ShowUnsigned(Box(IDC_ROW_GAP), m_nRowGap);
        ShowUnsigned(Box(IDC_ROWS), m_nRows);
        (m_bScaleToArea ? scale : oneToOne)->setChecked(true);
        return true;
    }
    // In the order of the controls' exchange; the first failing box ends it.
    const uint32_t none = 1, any = 0;  // low > high: no range
    if (!ExchangeUnsigned(Box(IDC_THRESHOLD), m_nThreshold, none, any, m_showWarning) ||
        !ExchangeUnsigned(Box(IDC_COLUMNS), m_nColumns, 1, 9999, m_showWarning))
        return false;
    m_bShowImage = image->isChecked() ? 1 : 0;
    m_bShowValues = values->isChecked() ? 1 : 0;
    if (!ExchangeUnsigned(Box(IDC_COLUMN_GAP), m_nColumnGap, 0, 1000, m_showWarning) ||
        !ExchangeUnsigned(Box(IDC_ROW_GAP), m_nRowGap, 0, 1000, m_showWarning) ||
        !ExchangeUnsigned(Box(IDC_ROWS), m_nRows, 1, 9999, m_showWarning))
        return false;
    m_bScaleToArea = scale->isChecked() ? 1 : 0;
    return true;
}

void CBlackPage::LoadSettings() {
    m_byHeader = ReadHeaderByte(m_strSettingsPath);
    m_streamFormat = stream::ReadStreamFormat(m_strSettingsPath);
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
    if (m_sliderThreshold != nullptr) {
        const QSignalBlocker block(m_sliderThreshold);
        m_sliderThreshold->setValue(static_cast<int>(std::min<uint32_t>(m_nThreshold, 255)));
        m_histogram->SetThreshold(m_sliderThreshold->value());
    }
}

void CBlackPage::SaveSettings() {
    // At exit, when no window is left to own a message box: each box is
    // taken on its own and without a word, and a box that fails its check
    // leaves its key in the file as it was.
    std::vector<std::string> skip;
    auto take = [&](int id, uint32_t& member, uint32_t low, uint32_t high, const char* key) {
        if (!ExchangeUnsigned(Box(id), member, low, high, nullptr))
            skip.push_back(key);
    };
    const uint32_t none = 1, any = 0;  // low > high: no range
    take(IDC_THRESHOLD, m_nThreshold, none, any, "threshold");
    take(IDC_COLUMNS, m_nColumns, 1, 9999, "column");
    take(IDC_COLUMN_GAP, m_nColumnGap, 0, 1000, "intercolumn");
    take(IDC_ROW_GAP, m_nRowGap, 0, 1000, "interrow");
    take(IDC_ROWS, m_nRows, 1, 9999, "row");
    m_bShowImage = qobject_cast<QCheckBox*>(Control(IDC_SHOW_IMAGE))->isChecked() ? 1 : 0;
    m_bShowValues = qobject_cast<QCheckBox*>(Control(IDC_SHOW_BINARY))->isChecked() ? 1 : 0;
    m_bScaleToArea = qobject_cast<QRadioButton*>(Control(IDC_SCALE_TO_AREA))->isChecked() ? 1 : 0;
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
    Enable({IDC_ONE_TO_ONE, IDC_SCALE_TO_AREA}, m_bShowImage != 0);
    Enable({IDC_THRESHOLD}, m_bShowValues != 0);
    if (m_sliderThreshold != nullptr)
        m_sliderThreshold->setEnabled(Control(IDC_THRESHOLD)->isEnabled());
    Enable({IDC_ROWS, IDC_COLUMNS, IDC_ROW_GAP, IDC_COLUMN_GAP},
           m_bShowImage != 0 || m_bShowValues != 0);
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

void CBlackPage::PrepareCapture() {
    m_histogram->SetThreshold(static_cast<int>(std::min<uint32_t>(m_nThreshold, 255)));
    m_editValues->SetCapacity(static_cast<size_t>(m_nRows) + m_nFrameSize);
}

void CBlackPage::AddDisplayActions(QMenu* menu) {
    menu->addSeparator();
    m_actBinarized = menu->addAction(tr("按阈值显示二值化图像"));
    m_actBinarized->setCheckable(true);
    connect(m_actBinarized, &QAction::toggled, this, [this](bool on) {
        m_nPreviewThreshold = on ? static_cast<int>(std::min<uint32_t>(
                                       static_cast<uint32_t>(BoxNumber(Box(IDC_THRESHOLD))), 255))
                                 : -1;
        RedrawLastFrame();
    });
}

void CBlackPage::OnThresholdSlider(int value) {
    Box(IDC_THRESHOLD)->setText(QString::number(value));
    m_nThreshold = static_cast<uint32_t>(value);
    m_histogram->SetThreshold(value);
    if (m_actBinarized->isChecked())
        m_nPreviewThreshold = value;
    RedrawLastFrame();
}

bool CBlackPage::ScaleChoice() const {
    return qobject_cast<QRadioButton*>(Control(IDC_SCALE_TO_AREA))->isChecked();
}

void CBlackPage::PrepareStill() {
    m_nThreshold = static_cast<uint32_t>(BoxNumber(Box(IDC_THRESHOLD)));
    PrepareCapture();
}

void CBlackPage::OnCaptureBegun() {
    m_sliderThreshold->setEnabled(false);
}

void CBlackPage::OnCaptureEnded() {
    UpdateControlStates();
}

bool CBlackPage::ValidateParameters(std::string& message) {
    MeasureArea();
    if (m_bShowImage == 0 && m_bShowValues == 0) {
        message = tr("请至少选择一项显示方式：“串口图像”或“二值化图像”").toStdString();
        return false;
    }
    if (!ValidateSizeAndGaps(message))
        return false;
    m_nThreshold = static_cast<uint32_t>(BoxNumber(Box(IDC_THRESHOLD)));
    if (BoxEmpty(Box(IDC_THRESHOLD))) {
        message = tr("请输入二值化阀值").toStdString();
        return false;
    }
    return true;
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
