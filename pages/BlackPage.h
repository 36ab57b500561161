// The grayscale capture page: a child dialog built from template 102 and, at
// the same time, the acquisition engine for grayscale frames.
#pragma once

#include <QDialog>
#include <QFont>
#include <functional>
#include <string>

#include "capture/CaptureBase.h"
#include "pages/DialogTemplate.h"
#include "pages/UiInvoker.h"

class CHyperLink;
class CValueListing;
class CPictureView;
class QLineEdit;
class QPushButton;

class CBlackPage : public QDialog, public CCaptureBase {
    Q_OBJECT

public:
    CBlackPage();
    // Stops the engine (its posted calls are dropped from now on) and waits for
    // its threads, then saves section "Black".
    ~CBlackPage() override;

    // Creates the page's window from template 102 as a hidden child of
    // `parent` and initialises it (settings, font, links, welcome text).
    bool Create(QWidget* parent);

    // The engine's operations; called on its threads.
    void ShowStatus(std::string text) override;
    void OnCaptureBegin() override;
    void OnCaptureEnd() override;
    void ClearPicture() override;
    void ClearValueList() override;
    void AppendValue(uint8_t value, int endOfRow) override;

    // Message handlers.
    void OnCaptureOne();
    void OnCaptureContinuous();
    void OnShowImage();
    void OnShowBinary();
    void OnOneToOne();
    void OnScaleToArea();

    void LoadSettings();
    void SaveSettings();
    bool ValidateParameters(std::string& message);
    void UpdateControlStates();
    // Towards the controls (false) or from them (true); from the controls it
    // stops at the first box that fails and returns false.
    bool DoDataExchange(bool saveAndValidate);

    // The settings file (DevSet.ini beside the executable unless changed).
    std::string m_strSettingsPath;
    // Shows the exchange's warnings: a message box unless replaced (tests).
    std::function<void(const QString&)> m_showWarning;

    CHyperLink* m_linkAbout = nullptr;      // 1029
    CHyperLink* m_linkProduct1 = nullptr;   // 1027
    CHyperLink* m_linkProduct2 = nullptr;   // 1028
    CValueListing* m_editValues = nullptr;  // 1000
    uint32_t m_nThreshold = 0;              // 1004
    QFont m_fontLabels;

    // The control with this id (after Create).
    QWidget* Control(int id) const;

protected:
    // Escape must not hide an embedded page.
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
