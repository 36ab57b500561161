#include "pages/ColourPage.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "pages/ControlIds.h"
#include "settings/ColourSettings.h"
#include "settings/DataSection.h"
#include "stream/StreamSettings.h"
#include "ui/PictureView.h"

CColourPage::CColourPage(std::string settingsPath)
    : CCapturePage(
          std::move(settingsPath), 1,
          Layout{IDD_COLOUR_PAGE,
                 IDC_COLOUR_CAPTURE_CONTINUOUS,
                 IDC_COLOUR_ABOUT,
                 IDC_COLOUR_PRODUCT1,
                 IDC_COLOUR_PRODUCT2,
                 {IDC_COLOUR_SCALE_TO_AREA, IDC_COLUMNS, IDC_ROWS, IDC_COLUMN_GAP, IDC_ROW_GAP},
                 {IDC_COLOUR_SCALE_TO_AREA, IDC_COLUMNS, IDC_ROWS, IDC_COLUMN_GAP, IDC_ROW_GAP,
                  IDC_COLOUR_CAPTURE_CONTINUOUS, IDC_CAPTURE_ONE},
                 false}) {}

CColourPage::~CColourPage() {
    Shutdown();
}

void CColourPage::OnCreate() {
    connect(qobject_cast<QCheckBox*>(Control(IDC_COLOUR_SCALE_TO_AREA)), &QCheckBox::clicked, this,
            [this] { OnScaleToArea(); });
}

bool CColourPage::DoDataExchange(bool save) {
    auto* scale = qobject_cast<QCheckBox*>(Control(IDC_COLOUR_SCALE_TO_AREA));
    if (!save) {
        ShowUnsigned(Box(IDC_COLUMNS), m_nColumns);
        ShowUnsigned(Box(IDC_COLUMN_GAP), m_nColumnGap);
        ShowUnsigned(Box(IDC_ROW_GAP), m_nRowGap);
        ShowUnsigned(Box(IDC_ROWS), m_nRows);
        scale->setChecked(m_bScaleRequest != 0);
        return true;
    }
    // In the order of the controls' exchange, without ranges; the first box
    // that holds no unsigned number ends it.
    const uint32_t none = 1, any = 0;  // low > high: no range
    if (!ExchangeUnsigned(Box(IDC_COLUMNS), m_nColumns, none, any, m_showWarning) ||
        !ExchangeUnsigned(Box(IDC_COLUMN_GAP), m_nColumnGap, none, any, m_showWarning) ||
        !ExchangeUnsigned(Box(IDC_ROW_GAP), m_nRowGap, none, any, m_showWarning) ||
        !ExchangeUnsigned(Box(IDC_ROWS), m_nRows, none, any, m_showWarning))
        return false;
    m_bScaleRequest = scale->isChecked() ? 1 : 0;
    return true;
}

void CColourPage::LoadSettings() {
    m_byHeader = ReadHeaderByte(m_strSettingsPath);
    m_streamFormat = stream::ReadStreamFormat(m_strSettingsPath);
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
        if (!ExchangeUnsigned(Box(id), member, none, any, nullptr))
            skip.push_back(key);
    };
    take(IDC_COLUMNS, m_nColumns, "column");
    take(IDC_COLUMN_GAP, m_nColumnGap, "intercolumn");
    take(IDC_ROW_GAP, m_nRowGap, "interrow");
    take(IDC_ROWS, m_nRows, "row");
    m_bScaleRequest =
        qobject_cast<QCheckBox*>(Control(IDC_COLOUR_SCALE_TO_AREA))->isChecked() ? 1 : 0;
    CColourSettings s;
    s.row = static_cast<int>(m_nRows);
    s.column = static_cast<int>(m_nColumns);
    s.interrow = static_cast<int>(m_nRowGap);
    s.intercolumn = static_cast<int>(m_nColumnGap);
    s.Save(m_strSettingsPath, skip);
}

void CColourPage::AddDisplayActions(QMenu* menu) {
    QMenu* channels = menu->addMenu(tr("显示通道"));
    auto* group = new QActionGroup(channels);
    const struct {
        const char* text;
        int channel;
    } choices[] = {{QT_TRANSLATE_NOOP("CColourPage", "彩色"), -1},
                   {QT_TRANSLATE_NOOP("CColourPage", "只显示 Y"), 1},
                   {QT_TRANSLATE_NOOP("CColourPage", "只显示 U"), 0},
                   {QT_TRANSLATE_NOOP("CColourPage", "只显示 V"), 2}};
    for (const auto& c : choices) {
        QAction* action = channels->addAction(tr(c.text));
        action->setCheckable(true);
        action->setChecked(c.channel == -1);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, channel = c.channel] {
            m_nChannel = channel;
            ShowChannelNote();
            RedrawLastFrame();
        });
    }
    // Over the picture's upper left corner while one channel is shown.
    m_channelNote = new QLabel(m_pictureView);
    m_channelNote->setObjectName(QStringLiteral("ChannelNote"));
    m_channelNote->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_channelNote->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(0, 0, 0, 160); color: white; padding: 2px 6px; }"));
    m_channelNote->move(4, 4);
    m_channelNote->hide();
}

void CColourPage::ShowChannelNote() {
    const int channel = m_nChannel;
    if (channel < 0 || channel > 2) {
        m_channelNote->hide();
        return;
    }
    m_channelNote->setText(tr("只显示 %1 通道（灰度）").arg(QChar("UYV"[channel])));
    m_channelNote->adjustSize();
    m_channelNote->show();
    m_channelNote->raise();
}

// Takes effect at the next start, when the engine field follows.
void CColourPage::OnScaleToArea() {
    m_bScaleRequest = m_bScaleRequest == 0 ? 1 : 0;
}

bool CColourPage::ValidateParameters(std::string& message) {
    MeasureArea();
    m_bScaleToArea = m_bScaleRequest != 0 ? 1 : 0;
    return ValidateSizeAndGaps(message);
}
