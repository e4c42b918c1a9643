// A view that keeps what the window's behaviour showed, as a user would read it off the
// window: the status line and its colour, the panels, the ball, the button and its focus, the
// lists.
#pragma once

#include "app/core/FormView.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

class TRecordingView final : public app::IFormView {
public:
    void SetCaption(const std::string& text) override { Caption = text; }
    void SetOuterSize(int width, int height) override {
        Width = width;
        Height = height;
    }
    void SetStatusText(const std::string& text) override { StatusText = text; }
    void SetStatusColour(app::TRgb colour) override { StatusColour = colour; }
    void SetPanelText(int panel, const std::string& text) override {
        Panels.at(static_cast<std::size_t>(panel)) = text;
    }
    void ShowIndicator(bool green) override { GreenBall = green; }
    void SetProgramButtonEnabled(bool enabled) override {
        ProgramEnabled = enabled;
        if (!enabled && FocusAt == app::TFocus::ProgramButton) {
            FocusAt = app::TFocus::Nowhere;
        }
    }
    app::TFocus Focus() override { return FocusAt; }
    void FocusProgramButton() override { FocusAt = app::TFocus::ProgramButton; }
    void ClearDeviceList() override {
        DeviceList.clear();
        DeviceListSelection = -1;
    }
    void AddDeviceListEntry(const std::string& text) override { DeviceList.push_back(text); }
    void SelectDeviceListEntry(int index) override { DeviceListSelection = index; }
    void AppendLogLine(const std::string& text) override {
        Log.push_back(text);
        LogSelection = static_cast<int>(Log.size()) - 1;
    }
    void ProcessMessages() override {
        ++ProcessMessagesCalls;
        if (OnProcessMessages) {
            OnProcessMessages();
        }
    }
    void Close() override { Closed = true; }

    std::string Caption;
    int Width = 0;
    int Height = 0;
    std::string StatusText = "StatusLabel";
    app::TRgb StatusColour{0, 0, 255};
    std::array<std::string, 3> Panels{"Time", "Status", "Programmer Version"};
    bool GreenBall = false;
    bool ProgramEnabled = true;
    // Both windows give "Program" the focus when they are activated.
    app::TFocus FocusAt = app::TFocus::ProgramButton;
    std::vector<std::string> DeviceList;
    int DeviceListSelection = -1;
    std::vector<std::string> Log;
    int LogSelection = -1;
    int ProcessMessagesCalls = 0;
    bool Closed = false;
    // Runs inside ProcessMessages: what the message loop would deliver there.
    std::function<void()> OnProcessMessages;
};

} // namespace apptest
