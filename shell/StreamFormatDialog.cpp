#include "shell/StreamFormatDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/Translation.h"

namespace {

constexpr stream::Framing kFramings[] = {
    stream::Framing::HeaderByte, stream::Framing::Marker, stream::Framing::Described,
    stream::Framing::Packet,     stream::Framing::Jpeg,   stream::Framing::Headerless,
};

const char kBytesHint[] = QT_TRANSLATE_NOOP(
    "CStreamFormatDialog", "十六进制（如 01 FE）或带双引号的文字（如 \"*RDY*\"、\"R\"）");

// Printable bytes as quoted text ("RR", "*RDY*"), any others as hex pairs.
QString Hex(const std::vector<uint8_t>& bytes) {
    const bool text = !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) {
        return b >= 0x20 && b < 0x7F && b != '"' && b != '\\';
    });
    if (text)
        return QLatin1Char('"') +
               QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size())) +
               QLatin1Char('"');
    return QString::fromStdString(stream::BytesToHex(bytes));
}

}  // namespace

CStreamFormatDialog::CStreamFormatDialog(const stream::CStreamFormat& format, QWidget* parent)
    : QDialog(parent), m_format(format) {
    setWindowTitle(tr("自定义数据格式"));
    setObjectName(QStringLiteral("StreamFormatDialog"));

    m_wndFraming = new QComboBox(this);
    m_wndFraming->setObjectName(QStringLiteral("Framing"));
    for (const stream::Framing f : kFramings)
        m_wndFraming->addItem(QString::fromUtf8(stream::FramingLabel(f)), static_cast<int>(f));
    m_wndFraming->setCurrentIndex(m_wndFraming->findData(static_cast<int>(format.framing)));

    m_wndEncoding = new QComboBox(this);
    m_wndEncoding->setObjectName(QStringLiteral("Encoding"));
    for (int i = 0; i < stream::kEncodingCount; ++i) {
        const auto e = static_cast<stream::Encoding>(i);
        m_wndEncoding->addItem(QString::fromUtf8(stream::EncodingLabel(e)), i);
    }
    m_wndEncoding->setCurrentIndex(m_wndEncoding->findData(static_cast<int>(format.encoding)));

    auto bytesBox = [this](const char* name, const std::vector<uint8_t>& bytes) {
        auto* box = new QLineEdit(Hex(bytes), this);
        box->setObjectName(QString::fromUtf8(name));
        box->setPlaceholderText(tr("不发送"));
        box->setToolTip(tr(kBytesHint));
        box->setMinimumWidth(260);
        return box;
    };
    m_wndStart = bytesBox("StartMarker", format.startMarker);
    m_wndEnd = bytesBox("EndMarker", format.endMarker);
    m_wndStart->setPlaceholderText(tr("如 01 FE"));
    m_wndEnd->setPlaceholderText(tr("没有结束标记"));
    m_wndGap = new QSpinBox(this);
    m_wndGap->setObjectName(QStringLiteral("Gap"));
    m_wndGap->setRange(1, 10000);
    m_wndGap->setSuffix(QStringLiteral(" ms"));
    m_wndGap->setValue(static_cast<int>(format.gapMilliseconds));
    m_wndGap->setToolTip(tr("无帧头的数据：线路静默这么久之后开始新的一帧"));
    m_wndRequestStart = bytesBox("RequestAtStart", format.requestAtStart);
    m_wndRequestFrame = bytesBox("RequestPerFrame", format.requestPerFrame);
    m_wndRequestStop = bytesBox("RequestAtStop", format.requestAtStop);

    auto* form = new QFormLayout;
    form->addRow(tr("帧的划分："), m_wndFraming);
    form->addRow(tr("像素编码："), m_wndEncoding);
    form->addRow(tr("起始标记："), m_wndStart);
    form->addRow(tr("结束标记："), m_wndEnd);
    form->addRow(tr("帧间静默："), m_wndGap);
    form->addRow(tr("开始时发送："), m_wndRequestStart);
    form->addRow(tr("每帧后发送："), m_wndRequestFrame);
    form->addRow(tr("停止时发送："), m_wndRequestStop);

    auto* hint = new QLabel(tr("字节的写法：%1。").arg(tr(kBytesHint)), this);
    hint->setWordWrap(true);
    m_wndReason = new QLabel(this);
    m_wndReason->setObjectName(QStringLiteral("Reason"));
    m_wndReason->setWordWrap(true);
    m_wndReason->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));

    m_wndButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_wndButtons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    m_wndButtons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(m_wndButtons, &QDialogButtonBox::accepted, this, [this] {
        if (Check())
            accept();
    });
    connect(m_wndButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(m_wndReason);
    layout->addWidget(m_wndButtons);

    for (QLineEdit* box :
         {m_wndStart, m_wndEnd, m_wndRequestStart, m_wndRequestFrame, m_wndRequestStop})
        connect(box, &QLineEdit::textChanged, this, [this] { Check(); });
    connect(m_wndGap, qOverload<int>(&QSpinBox::valueChanged), this, [this] { Check(); });
    for (QComboBox* list : {m_wndFraming, m_wndEncoding})
        connect(list, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
            UpdateFields();
            Check();
        });
    UpdateFields();
    Check();
}

void CStreamFormatDialog::UpdateFields() {
    const auto framing = static_cast<stream::Framing>(m_wndFraming->currentData().toInt());
    const bool marker = framing == stream::Framing::Marker;
    m_wndStart->setEnabled(marker);
    m_wndEnd->setEnabled(marker);
    m_wndGap->setEnabled(framing == stream::Framing::Headerless);
}

bool CStreamFormatDialog::Check() {
    stream::CStreamFormat format;
    format.framing = static_cast<stream::Framing>(m_wndFraming->currentData().toInt());
    format.encoding = static_cast<stream::Encoding>(m_wndEncoding->currentData().toInt());
    format.gapMilliseconds = static_cast<uint32_t>(m_wndGap->value());
    std::string reason;
    const struct {
        QLineEdit* box;
        std::vector<uint8_t>* bytes;
        const char* what;
        bool used;
    } fields[] = {
        {m_wndStart, &format.startMarker, QT_TRANSLATE_NOOP("CStreamFormatDialog", "起始标记"),
         format.framing == stream::Framing::Marker},
        {m_wndEnd, &format.endMarker, QT_TRANSLATE_NOOP("CStreamFormatDialog", "结束标记"),
         format.framing == stream::Framing::Marker},
        {m_wndRequestStart, &format.requestAtStart,
         QT_TRANSLATE_NOOP("CStreamFormatDialog", "开始时发送"), true},
        {m_wndRequestFrame, &format.requestPerFrame,
         QT_TRANSLATE_NOOP("CStreamFormatDialog", "每帧后发送"), true},
        {m_wndRequestStop, &format.requestAtStop,
         QT_TRANSLATE_NOOP("CStreamFormatDialog", "停止时发送"), true},
    };
    bool ok = true;
    for (const auto& f : fields) {
        if (!f.used)
            continue;
        std::string why;
        const std::string text = f.box->text().trimmed().toStdString();
        if (!text.empty() && !stream::ParseBytes(text, *f.bytes, &why)) {
            reason = tr("%1：%2").arg(tr(f.what), QString::fromStdString(why)).toStdString();
            ok = false;
            break;
        }
    }
    if (ok)
        ok = format.Valid(&reason);
    if (ok)
        m_format = format;
    m_wndReason->setText(QString::fromStdString(reason));
    m_wndReason->setVisible(!ok);
    m_wndButtons->button(QDialogButtonBox::Ok)->setEnabled(ok);
    return ok;
}

QString CStreamFormatDialog::Reason() const {
    return m_wndReason->text();
}
