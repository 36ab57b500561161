// A port owner whose lists are plain fields, standing in for the main window.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "serial/PortOwner.h"

class FakePortOwner : public CPortOwner {
public:
    int baudSelection = 1;
    std::string baudText = "115200";
    int portSelection = 1;
    std::string portText = "COM9";

    std::vector<std::string> Messages() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_messages;
    }
    std::vector<std::string> Captions() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_captions;
    }

protected:
    int GetBaudSelection() override { return baudSelection; }
    std::string GetBaudText() override { return baudText; }
    int GetPortSelection() override { return portSelection; }
    std::string GetPortText() override { return portText; }
    void ShowPortMessage(const std::string& text, const std::string& caption) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_messages.push_back(text);
        m_captions.push_back(caption);
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_captions;
};
