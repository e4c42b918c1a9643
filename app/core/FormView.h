// What the window's behaviour needs of a front end: the visible parts of the window and its
// message loop. Each front end (Qt, native Windows, a test's recording fake) implements it
// on its own widgets and does nothing else. Texts are UTF-8.
#pragma once

#include "app/core/Rgb.h"

#include <string>

namespace app {

// The status bar's panels.
inline constexpr int TimePanel = 0;
inline constexpr int StatusPanel = 1;
inline constexpr int AdapterPanel = 2;

// Where the keyboard focus is within the window; while the window is inactive, where it
// goes back when the window is activated again.
enum class TFocus { Nowhere, ProgramButton, Elsewhere };

class IFormView {
public:
    virtual ~IFormView() = default;

    virtual void SetCaption(const std::string& text) = 0;
    // The window's outer size, frame included, in the layout's pixels.
    virtual void SetOuterSize(int width, int height) = 0;

    // The status line; it sizes itself to its text.
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetStatusColour(TRgb colour) = 0;
    virtual void SetPanelText(int panel, const std::string& text) = 0;
    // The connection indicator: the green ball (true) or the grey one.
    virtual void ShowIndicator(bool green) = 0;
    // Disabling "Program" while it has the focus leaves the focus on no control: it never
    // passes on to the next one (which may be "Exit").
    virtual void SetProgramButtonEnabled(bool enabled) = 0;
    virtual TFocus Focus() = 0;
    // Gives "Program" the focus and shows it (a focus rectangle).
    virtual void FocusProgramButton() = 0;

    // The hidden device list.
    virtual void ClearDeviceList() = 0;
    virtual void AddDeviceListEntry(const std::string& text) = 0;
    virtual void SelectDeviceListEntry(int index) = 0;
    // The hidden event log: the line goes at the end and becomes the selected one.
    virtual void AppendLogLine(const std::string& text) = 0;

    // Processes the window messages that are waiting, once (the main-thread queue's calls
    // included), so that what was just set is painted.
    virtual void ProcessMessages() = 0;
    // Closes the window, which ends the message loop.
    virtual void Close() = 0;

protected:
    IFormView() = default;
    IFormView(const IFormView&) = default;
    IFormView& operator=(const IFormView&) = default;
};

} // namespace app
