// The program's window on the Windows API: the platform's standard controls laid out as the
// window's design says, scaled to the window's DPI. Implements the view the window's
// behaviour drives; its own events (activation, the two buttons) go to the handlers the
// program sets. Main thread only.
#pragma once

#include "app/core/FormView.h"
#include "platform/PlatformTypes.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

namespace app::win32 {

struct TGdiDeleter {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
template <typename Handle>
using TGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, TGdiDeleter>;

class TFormWindow final : public app::IFormView {
public:
    // Posted to the window to serve the runtime's main-thread queue.
    static constexpr UINT ServeQueueMessage = WM_APP + 1;

    // Creates the window, hidden, with its controls in their design state, and hooks the
    // runtime's main-thread queue to it.
    TFormWindow();
    ~TFormWindow() override;
    TFormWindow(const TFormWindow&) = delete;
    TFormWindow& operator=(const TFormWindow&) = delete;

    HWND Window() const { return window; }
    // Shows the window and makes it the active one.
    void Show();
    // Shown after the caption the behaviour sets (the demo's mark); empty by default.
    void SetTitleSuffix(const std::string& suffix);

    // When the window is shown, whether or not it is activated after that.
    std::function<void()> OnShow;
    std::function<void()> OnActivate;
    std::function<void()> OnProgramClick;
    std::function<void()> OnExitClick;

    void SetCaption(const std::string& text) override;
    void SetOuterSize(int width, int height) override;
    void SetStatusText(const std::string& text) override;
    void SetStatusColour(app::TRgb colour) override;
    void SetPanelText(int panel, const std::string& text) override;
    void ShowIndicator(bool green) override;
    void SetProgramButtonEnabled(bool enabled) override;
    app::TFocus Focus() override;
    void FocusProgramButton() override;
    void ClearDeviceList() override;
    void AddDeviceListEntry(const std::string& text) override;
    void SelectDeviceListEntry(int index) override;
    void AppendLogLine(const std::string& text) override;
    void ProcessMessages() override;
    void Close() override;

    // The window class's procedure.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, int id);
    void CreateControls();
    void ApplyDpi(UINT newDpi);
    void CreateFonts();
    void PlaceControls();
    void PlaceStatusBar();
    void SizeStatusLabel();
    // The window rectangle (frame included) of the design size at the window's DPI.
    RECT DesignOuterRect() const;
    void ApplyOuterSize(bool centre);
    void PaintIndicator(const DRAWITEMSTRUCT& item) const;
    void RestoreFocus();
    void ShowFocusRectangles();

    HWND window = nullptr;
    HWND devListBox = nullptr;
    HWND historyListBox = nullptr;
    HWND progStatusBar = nullptr;
    HWND inProgButton = nullptr;
    HWND exitButton = nullptr;
    HWND statusLabel = nullptr;
    HWND connectBallImage = nullptr;
    HWND greenImage = nullptr;
    HWND grayImage = nullptr;
    HWND focusedControl = nullptr;

    TGdiObject<HBITMAP> greenBitmap;
    TGdiObject<HBITMAP> grayBitmap;
    TGdiObject<HFONT> font;
    TGdiObject<HFONT> boldFont;

    UINT dpi = 96;
    // The outer size in design pixels, as the window's behaviour gave it.
    int outerWidth = 0;
    int outerHeight = 0;
    std::string caption;
    std::string titleSuffix;
    COLORREF statusColour = RGB(0, 0, 255);
    bool indicatorGreen = false;
    // One serve message in flight at a time, however many calls are queued.
    std::shared_ptr<std::atomic<bool>> servePosted = std::make_shared<std::atomic<bool>>(false);
};

} // namespace app::win32
