// The colour capture page: template 103, frames of U, Y, V triplets, the
// picture only.
#pragma once

#include <string>

#include "pages/CapturePage.h"

class CColourPage : public CCapturePage {
    Q_OBJECT

public:
    explicit CColourPage(std::string settingsPath);
    // Stops the engine and waits for its threads, then saves section "Colour".
    ~CColourPage() override;

    // This page has no value listing.
    void ClearValueList() override {}
    void AppendValue(uint8_t, int) override {}

    void OnScaleToArea();

    void LoadSettings() override;
    void SaveSettings() override;
    bool ValidateParameters(std::string& message) override;
    bool DoDataExchange(bool saveAndValidate) override;

    int m_bScaleRequest = 0;  // IDC_COLOUR_SCALE_TO_AREA, takes effect at the next start

protected:
    void OnCreate() override;
    bool ScaleChoice() const override { return m_bScaleRequest != 0; }
    // "显示通道": the picture in colour, or its Y, U or V alone in gray.
    void AddDisplayActions(QMenu* menu) override;

private:
    // Says over the picture which channel is shown alone; hidden in colour.
    void ShowChannelNote();
    QLabel* m_channelNote = nullptr;
};
