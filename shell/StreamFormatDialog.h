// "自定义数据格式": every part of a stream format set by hand — framing,
// encoding, start and end markers, the quiet gap, and the bytes sent to the
// board at a capture's start, after each frame and at its stop. The format is
// checked as it is typed; the reason it cannot be used shows under the fields
// and OK stays off until it can.
#pragma once

#include <QDialog>

#include "stream/StreamFormat.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class CStreamFormatDialog : public QDialog {
    Q_OBJECT

public:
    CStreamFormatDialog(const stream::CStreamFormat& format, QWidget* parent);

    // The format as the fields hold it; meaningful when Check() is true.
    stream::CStreamFormat Format() const { return m_format; }
    // Reads the fields into the format: false (the reason shown) when a
    // field does not read or the format is not valid.
    bool Check();
    // Why the format cannot be used; empty when it can.
    QString Reason() const;

    QComboBox* m_wndFraming = nullptr;
    QComboBox* m_wndEncoding = nullptr;
    QLineEdit* m_wndStart = nullptr;
    QLineEdit* m_wndEnd = nullptr;
    QSpinBox* m_wndGap = nullptr;
    QLineEdit* m_wndRequestStart = nullptr;
    QLineEdit* m_wndRequestFrame = nullptr;
    QLineEdit* m_wndRequestStop = nullptr;
    QLabel* m_wndReason = nullptr;
    QDialogButtonBox* m_wndButtons = nullptr;

private:
    // Enables the fields the chosen framing uses.
    void UpdateFields();

    stream::CStreamFormat m_format;
};
