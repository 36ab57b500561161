// "诊断串口数据": the report on what the line carries, and one click that
// applies its suggestion (header byte, rows, columns) to the page.
#pragma once

#include <QDialog>

#include "capture/StreamDiagnosis.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

class CDiagnosisDialog : public QDialog {
    Q_OBJECT

public:
    // `colourPage`: the page's format, to tell a suggestion for the other page.
    CDiagnosisDialog(const CDiagnosisReport& report, bool colourPage, QWidget* parent);

    const CDiagnosisReport& Report() const { return m_report; }
    // Whether the suggestion can be applied to this page.
    bool CanApply() const;

    QPlainTextEdit* m_text = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_apply = nullptr;  // accepts the dialog
    QPushButton* m_again = nullptr;  // done(kAgain)

    static constexpr int kAgain = 2;

private:
    CDiagnosisReport m_report;
    bool m_bColourPage;
};
