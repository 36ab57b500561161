#include "pages/DiagnosisDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDiagnosisDialog::CDiagnosisDialog(const CDiagnosisReport& report, bool colourPage, QWidget* parent)
    : QDialog(parent), m_report(report), m_bColourPage(colourPage) {
    setWindowTitle(tr("诊断串口数据"));
    auto* layout = new QVBoxLayout(this);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setPlainText(QString::fromStdString(ReportText(report)));
    m_text->setMinimumSize(640, 360);
    layout->addWidget(m_text);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);

    auto* buttons = new QDialogButtonBox(this);
    m_apply = buttons->addButton(tr("应用建议"), QDialogButtonBox::AcceptRole);
    m_again = buttons->addButton(tr("重新诊断"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(tr("关闭"), QDialogButtonBox::RejectRole);
    connect(m_apply, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_again, &QPushButton::clicked, this, [this] { done(kAgain); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_apply->setEnabled(CanApply());
    if (CanApply() && report.formatFound) {
        const QString name = QString::fromStdString(report.suggestPresetName);
        m_note->setText(report.suggestRows > 0 && !report.suggestGeometryFromWire
                            ? tr("应用建议：数据格式“%1”，%2 行 × %3 列。")
                                  .arg(name)
                                  .arg(report.suggestRows)
                                  .arg(report.suggestColumns)
                            : tr("应用建议：数据格式“%1”。").arg(name));
        m_apply->setDefault(true);
    } else if (CanApply()) {
        m_note->setText(tr("应用建议：帧头 %1，%2 行 × %3 列。")
                            .arg(report.suggestHeader)
                            .arg(report.suggestRows)
                            .arg(report.suggestColumns));
        m_apply->setDefault(true);
    } else if (report.headerFound && report.suggestRows > 0 &&
               report.suggestColour != m_bColourPage) {
        m_note->setText(report.suggestColour ? tr("数据是 U,Y,V 彩色帧：请在“彩色数据”页面采集。")
                                             : tr("数据是黑白帧：请在“黑白数据”页面采集。"));
    } else if (!report.confident) {
        m_note->setText(tr("结论不确定，没有可以直接应用的建议。"));
    }
    if (report.suggestBaud > 0 && report.suggestBaud != report.baud)
        m_note->setText(m_note->text() +
                        tr(" 请在串口设置栏把波特率改为 %1。").arg(report.suggestBaud));
}

bool CDiagnosisDialog::CanApply() const {
    // A format of its own is applied with its page; the header byte's
    // format on the page it belongs to.
    if (m_report.confident && m_report.formatFound)
        return true;
    return m_report.confident && m_report.headerFound && m_report.suggestRows > 0 &&
           m_report.suggestColumns > 0 && m_report.suggestColour == m_bColourPage;
}
