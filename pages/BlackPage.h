// The grayscale capture page: template 102, frames of one byte per pixel, the
// picture and the binarized value listing.
#pragma once

#include <QRect>
#include <QSize>
#include <string>

#include "pages/CapturePage.h"

class CValueListing;
class QSlider;

class CBlackPage : public CCapturePage {
    Q_OBJECT

public:
    explicit CBlackPage(std::string settingsPath);
    // Stops the engine and waits for its threads, then saves section "Black".
    ~CBlackPage() override;

    void ClearValueList() override;
    void AppendValue(uint8_t value, int endOfRow) override;

    // Message handlers.
    void OnShowImage();
    void OnShowBinary();
    void OnOneToOne();
    void OnScaleToArea();

    void LoadSettings() override;
    void SaveSettings() override;
    bool ValidateParameters(std::string& message) override;
    void UpdateControlStates();
    bool DoDataExchange(bool saveAndValidate) override;

    CValueListing* m_editValues = nullptr;  // IDC_VALUES
    // Beside the threshold box: changes the threshold live; the listing and,
    // with m_actBinarized on, the picture follow on the last frame.
    QSlider* m_sliderThreshold = nullptr;
    QAction* m_actBinarized = nullptr;  // "按阈值显示二值化图像"
    void OnThresholdSlider(int value);
    uint32_t m_nThreshold = 0;  // IDC_THRESHOLD

    // The controls above the listing as laid out; the listing takes the
    // page's width and the height below them, at least a few lines.
    QSize MinimumPageSize() const override;
    void FitTo(const QSize& area) override;

protected:
    void OnCreate() override;
    void PrepareCapture() override;
    void PrepareStill() override;
    void OnCaptureEnded() override;
    void OnCaptureBegun() override;
    bool ScaleChoice() const override;
    void AddDisplayActions(QMenu* menu) override;

    QRect m_valuesRect;  // the listing as its template lays it out
};
