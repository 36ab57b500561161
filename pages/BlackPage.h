// The grayscale capture page: template 102, frames of one byte per pixel, the
// picture and the binarized value listing.
#pragma once

#include <string>

#include "pages/CapturePage.h"

class CValueListing;

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
    uint32_t m_nThreshold = 0;              // IDC_THRESHOLD

protected:
    void OnCreate() override;
    void PrepareCapture() override;
    void PrepareStill() override;
    void OnCaptureEnded() override;
    bool ScaleChoice() const override;
};
