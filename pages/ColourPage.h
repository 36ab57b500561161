// The colour capture page: a child dialog built from template 103 and, at the
// same time, the acquisition engine for U, Y, V colour frames.
#pragma once

#include <QDialog>
#include <QFont>
#include <functional>
#include <string>

#include "capture/CaptureBase.h"
#include "pages/DialogTemplate.h"
#include "pages/UiInvoker.h"

class CHyperLink;
class CPictureView;
class QLineEdit;
class QPushButton;

class CColourPage : public QDialog, public CCaptureBase {
    Q_OBJECT

public:
    CColourPage();
    // Stops the engine and waits for its threads, then saves section "Colour".
    ~CColourPage() override;

    // Creates the page's window from template 103 as a hidden child of
    // `parent` and initialises it.
    bool Create(QWidget* parent);

    void ShowStatus(std::string text) override;
    void OnCaptureBegin() override;
    void OnCaptureEnd() override;
    void ClearPicture() override;
    void ClearValueList() override {}
    void AppendValue(uint8_t, int) override {}

    void OnCaptureOne();
    void OnCaptureContinuous();
    void OnScaleToArea();

    void LoadSettings();
    void SaveSettings();
    bool ValidateParameters(std::string& message);
    bool DoDataExchange(bool saveAndValidate);

    std::string m_strSettingsPath;
    std::function<void(const QString&)> m_showWarning;

    CHyperLink* m_linkProduct2 = nullptr;  // 1024
    CHyperLink* m_linkAbout = nullptr;     // 1025
    CHyperLink* m_linkProduct1 = nullptr;  // 1023
    int m_bScaleRequest = 0;               // 1021, takes effect at the next start
    QFont m_fontLabels;

    QWidget* Control(int id) const;

protected:
    void reject() override {}

private:
    void OnInitDialog();
    void OnCapture(int mode, int buttonId, const QString& idleCaption);
    QLineEdit* Box(int id) const;
    QPushButton* Button(int id) const;
    void Enable(std::initializer_list<int> ids, bool enable);

    CDialogTemplate m_template;
    CPictureView* m_pictureView = nullptr;
    CUiInvoker m_invoker;
    bool m_bCreated = false;
};
