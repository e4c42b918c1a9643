#include "app/win32/FormWindow.h"

#include "app/core/MainForm.h"
#include "app/win32/Layout.h"
#include "app/win32/MessageLoop.h"
#include "app/win32/SystemMetrics.h"
#include "app/win32/WideText.h"
#include "app/win32/resources/ResourceIds.h"
#include "runtime/MainThreadQueue.h"

#include <array>
#include <commctrl.h>
#include <cwchar>
#include <string>

namespace app::win32 {

namespace {

constexpr const wchar_t* WindowClassName = L"VuzUtilityWindow";
constexpr const wchar_t* DesignFontFace = L"MS Sans Serif";
constexpr DWORD WindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD WindowExStyle = WS_EX_CONTROLPARENT;
// Sent when the window moves to a screen of another DPI (Windows 8.1 on).
constexpr UINT DpiChangedMessage = 0x02E0;

HINSTANCE ThisModule() {
    return ::GetModuleHandleW(nullptr);
}

void RegisterWindowClass() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &TFormWindow::WindowProc;
        windowClass.hInstance = ThisModule();
        windowClass.hIcon = ::LoadIconW(ThisModule(), MAKEINTRESOURCEW(VUZ_APP_ICON));
        windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = WindowClassName;
        return ::RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

HBITMAP LoadBitmapResource(int id) {
    return static_cast<HBITMAP>(
        ::LoadImageW(ThisModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

int CALLBACK FoundFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    const HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &wanted, &FoundFont, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

void Place(HWND control, const TDesignRect& rect, UINT dpi) {
    ::SetWindowPos(control, nullptr, Scaled(rect.Left, dpi), Scaled(rect.Top, dpi),
                   Scaled(rect.Width, dpi), Scaled(rect.Height, dpi),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

TFormWindow::TFormWindow() {
    RegisterWindowClass();
    greenBitmap.reset(LoadBitmapResource(VUZ_GREEN_BALL_BITMAP));
    grayBitmap.reset(LoadBitmapResource(VUZ_GRAY_BALL_BITMAP));

    window = ::CreateWindowExW(WindowExStyle, WindowClassName, L"MainForm", WindowStyle,
                               CW_USEDEFAULT, CW_USEDEFAULT, app::TMainForm::DesignWidth,
                               app::TMainForm::DesignHeight, nullptr, nullptr, ThisModule(), this);
    if (window == nullptr) {
        return;
    }
    dpi = WindowDpi(window);
    CreateFonts();
    CreateControls();
    SetOuterSize(app::TMainForm::DesignWidth, app::TMainForm::DesignHeight);

    // Other threads hand calls to the main thread; a posted message wakes the loop for them.
    const HWND target = window;
    runtime::SetWakeHook([target, posted = servePosted] {
        if (!posted->exchange(true)) {
            ::PostMessageW(target, ServeQueueMessage, 0, 0);
        }
    });
}

TFormWindow::~TFormWindow() {
    runtime::SetWakeHook({});
    if (window != nullptr && ::IsWindow(window)) {
        ::DestroyWindow(window);
    }
}

void TFormWindow::Show() {
    ::ShowWindow(window, SW_SHOWNORMAL);
    ShowFocusRectangles();
    ::UpdateWindow(window);
    ::SetForegroundWindow(window);
}

HWND TFormWindow::CreateControl(const wchar_t* className, const wchar_t* text, DWORD style,
                                int id) {
    const HWND control =
        ::CreateWindowExW(0, className, text, WS_CHILD | style, 0, 0, 0, 0, window,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    return control;
}

void TFormWindow::CreateControls() {
    // Created in tab order: the hidden lists, the status bar, "Program", "Exit".
    constexpr DWORD listStyle = WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOINTEGRALHEIGHT;
    devListBox = CreateControl(L"LISTBOX", nullptr, listStyle, DevListBoxId);
    historyListBox = CreateControl(L"LISTBOX", nullptr, listStyle, HistoryListBoxId);
    progStatusBar = CreateControl(STATUSCLASSNAMEW, nullptr,
                                  WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN |
                                      CCS_NODIVIDER,
                                  ProgStatusBarId);
    inProgButton = CreateControl(L"BUTTON", L"Program", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                 InProgButtonId);
    exitButton =
        CreateControl(L"BUTTON", L"Exit", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, ExitButtonId);
    statusLabel =
        CreateControl(L"STATIC", L"StatusLabel", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, StatusLabelId);
    ::SendMessageW(statusLabel, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont.get()), FALSE);
    connectBallImage =
        CreateControl(L"STATIC", nullptr, WS_VISIBLE | SS_OWNERDRAW, ConnectBallImageId);
    greenImage = CreateControl(L"STATIC", nullptr, SS_BITMAP, Green_ImageId);
    grayImage = CreateControl(L"STATIC", nullptr, SS_BITMAP, Gray_ImageId);
    ::SendMessageW(greenImage, STM_SETIMAGE, IMAGE_BITMAP,
                   reinterpret_cast<LPARAM>(greenBitmap.get()));
    ::SendMessageW(grayImage, STM_SETIMAGE, IMAGE_BITMAP,
                   reinterpret_cast<LPARAM>(grayBitmap.get()));

    const std::array<const wchar_t*, 3> designTexts{L"\tTime", L"Status", L"Programmer Version"};
    for (std::size_t panel = 0; panel < designTexts.size(); ++panel) {
        ::SendMessageW(progStatusBar, SB_SETTEXTW, panel,
                       reinterpret_cast<LPARAM>(designTexts[panel]));
    }
    PlaceControls();
    SizeStatusLabel();
}

void TFormWindow::CreateFonts() {
    LOGFONTW face{};
    if (FontInstalled(DesignFontFace)) {
        std::wcsncpy(face.lfFaceName, DesignFontFace, LF_FACESIZE - 1);
    } else {
        const LOGFONTW dialogFont = SystemDialogFont(dpi);
        std::wcsncpy(face.lfFaceName, dialogFont.lfFaceName, LF_FACESIZE - 1);
    }
    face.lfHeight = -Scaled(FontPixelHeight, dpi);
    face.lfWeight = FW_NORMAL;
    face.lfCharSet = DEFAULT_CHARSET;
    face.lfQuality = DEFAULT_QUALITY;
    font.reset(::CreateFontIndirectW(&face));
    face.lfWeight = FW_BOLD;
    boldFont.reset(::CreateFontIndirectW(&face));
}

void TFormWindow::PlaceControls() {
    Place(devListBox, DevListBoxRect, dpi);
    Place(historyListBox, HistoryListBoxRect, dpi);
    Place(connectBallImage, ConnectBallImageRect, dpi);
    Place(greenImage, Green_ImageRect, dpi);
    Place(grayImage, Gray_ImageRect, dpi);
    Place(exitButton, ExitButtonRect, dpi);
    Place(inProgButton, InProgButtonRect, dpi);
    for (const HWND list : {devListBox, historyListBox}) {
        ::SendMessageW(list, LB_SETITEMHEIGHT, 0, Scaled(ListItemHeight, dpi));
    }
    PlaceStatusBar();
}

void TFormWindow::PlaceStatusBar() {
    RECT client{};
    ::GetClientRect(window, &client);
    const int height = Scaled(StatusBarHeight, dpi);
    ::SetWindowPos(progStatusBar, nullptr, 0, client.bottom - height, client.right, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    const int timeEdge = Scaled(TimePanelWidth, dpi);
    std::array<int, 3> rightEdges{timeEdge, timeEdge + Scaled(StatusPanelWidth, dpi), -1};
    ::SendMessageW(progStatusBar, SB_SETPARTS, rightEdges.size(),
                   reinterpret_cast<LPARAM>(rightEdges.data()));
}

void TFormWindow::SizeStatusLabel() {
    const int length = ::GetWindowTextLengthW(statusLabel);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::GetWindowTextW(statusLabel, text.data(), length + 1);
    const HDC dc = ::GetDC(statusLabel);
    const HGDIOBJ previous = ::SelectObject(dc, boldFont.get());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), length, &extent);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    int width = extent.cx;
    int height = metrics.tmHeight;
    // A long line (a write error's system text) wraps before the buttons, as the static
    // control breaks it.
    const int room = Scaled(StatusLabelMaxWidth, dpi);
    if (width > room) {
        RECT wrapped{0, 0, room, 0};
        ::DrawTextW(dc, text.c_str(), length, &wrapped,
                    DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        width = room;
        height = wrapped.bottom;
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(statusLabel, dc);
    ::SetWindowPos(statusLabel, nullptr, Scaled(StatusLabelRect.Left, dpi),
                   Scaled(StatusLabelRect.Top, dpi), width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(window, nullptr, TRUE);
}

RECT TFormWindow::DesignOuterRect() const {
    const RECT client{0, 0, Scaled(outerWidth - NominalFrameWidth, dpi),
                      Scaled(outerHeight - NominalFrameHeight, dpi)};
    return OuterRectForClient(client, WindowStyle, WindowExStyle, dpi);
}

void TFormWindow::ApplyOuterSize(bool centre) {
    const RECT outer = DesignOuterRect();
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    if (!centre) {
        ::SetWindowPos(window, nullptr, 0, 0, width, height,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    ::SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFormWindow::ApplyDpi(UINT newDpi) {
    dpi = newDpi;
    CreateFonts();
    for (const HWND control : {devListBox, historyListBox, progStatusBar, inProgButton, exitButton,
                               connectBallImage, greenImage, grayImage}) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    ::SendMessageW(statusLabel, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont.get()), TRUE);
    PlaceControls();
    SizeStatusLabel();
}

void TFormWindow::SetTitleSuffix(const std::string& suffix) {
    titleSuffix = suffix;
    ::SetWindowTextW(window, ToWide(caption + titleSuffix).c_str());
}

void TFormWindow::SetCaption(const std::string& text) {
    caption = text;
    ::SetWindowTextW(window, ToWide(caption + titleSuffix).c_str());
}

void TFormWindow::SetOuterSize(int width, int height) {
    outerWidth = width;
    outerHeight = height;
    // Centred when it appears; a visible window keeps its place.
    ApplyOuterSize(!::IsWindowVisible(window));
}

void TFormWindow::SetStatusText(const std::string& text) {
    ::SetWindowTextW(statusLabel, ToWide(text).c_str());
    SizeStatusLabel();
}

void TFormWindow::SetStatusColour(app::TRgb colour) {
    statusColour = RGB(colour.Red, colour.Green, colour.Blue);
    ::InvalidateRect(statusLabel, nullptr, TRUE);
}

void TFormWindow::SetPanelText(int panel, const std::string& text) {
    // A leading tab centres a status bar part's text.
    const std::wstring shown = (panel == app::TimePanel ? L"\t" : L"") + ToWide(text);
    ::SendMessageW(progStatusBar, SB_SETTEXTW, static_cast<WPARAM>(panel),
                   reinterpret_cast<LPARAM>(shown.c_str()));
}

void TFormWindow::ShowIndicator(bool green) {
    indicatorGreen = green;
    ::InvalidateRect(connectBallImage, nullptr, FALSE);
}

void TFormWindow::SetProgramButtonEnabled(bool enabled) {
    if (!enabled) {
        // A disabled control loses the focus to nothing; the window itself keeps it, so that
        // the keyboard still reaches the window and an activation restores no control.
        if (::GetFocus() == inProgButton) {
            ::SetFocus(window);
        }
        if (focusedControl == inProgButton) {
            focusedControl = window;
        }
    }
    ::EnableWindow(inProgButton, enabled ? TRUE : FALSE);
}

app::TFocus TFormWindow::Focus() {
    const bool active = ::GetActiveWindow() == window;
    const HWND focused = active ? ::GetFocus() : focusedControl;
    if (focused == inProgButton) {
        return app::TFocus::ProgramButton;
    }
    if (focused == nullptr || focused == window) {
        return app::TFocus::Nowhere;
    }
    return app::TFocus::Elsewhere;
}

void TFormWindow::FocusProgramButton() {
    focusedControl = inProgButton;
    if (::GetActiveWindow() == window) {
        ::SetFocus(inProgButton);
    }
    ShowFocusRectangles();
}

void TFormWindow::ShowFocusRectangles() {
    // Windows hides focus rectangles until a key is pressed; a window used from the keyboard
    // shows where Space goes from the start.
    ::SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

void TFormWindow::ClearDeviceList() {
    ::SendMessageW(devListBox, LB_RESETCONTENT, 0, 0);
}

void TFormWindow::AddDeviceListEntry(const std::string& text) {
    ::SendMessageW(devListBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
}

void TFormWindow::SelectDeviceListEntry(int index) {
    ::SendMessageW(devListBox, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TFormWindow::AppendLogLine(const std::string& text) {
    const LRESULT index = ::SendMessageW(historyListBox, LB_ADDSTRING, 0,
                                         reinterpret_cast<LPARAM>(ToWide(text).c_str()));
    if (index >= 0) {
        ::SendMessageW(historyListBox, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

void TFormWindow::ProcessMessages() {
    DispatchWaitingMessages(window);
}

void TFormWindow::Close() {
    // Posted: the button whose click got here is still inside its own message.
    ::PostMessageW(window, WM_CLOSE, 0, 0);
}

void TFormWindow::PaintIndicator(const DRAWITEMSTRUCT& item) const {
    // The picture of the hidden image that holds it, stretched to the indicator's size.
    const HWND source = indicatorGreen ? greenImage : grayImage;
    const auto bitmap =
        reinterpret_cast<HBITMAP>(::SendMessageW(source, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0) {
        ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    const HDC memory = ::CreateCompatibleDC(item.hDC);
    const HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::SetStretchBltMode(item.hDC, HALFTONE);
    ::SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    ::StretchBlt(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
                 item.rcItem.bottom - item.rcItem.top, memory, 0, 0, info.bmWidth, info.bmHeight,
                 SRCCOPY);
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
}

void TFormWindow::RestoreFocus() {
    // Without a control to go back to, "Program" takes the focus, or, while it is disabled,
    // the window itself: never "Exit", where Space would end the program.
    if (focusedControl == nullptr || !::IsWindow(focusedControl) ||
        !::IsWindowEnabled(focusedControl)) {
        focusedControl = ::IsWindowEnabled(inProgButton) ? inProgButton : window;
    }
    ::SetFocus(focusedControl);
}

LRESULT CALLBACK TFormWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TFormWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    if (self == nullptr || self->window != window) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT TFormWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case ServeQueueMessage:
        servePosted->store(false);
        runtime::ServeMainThreadQueue();
        return 0;
    case WM_SHOWWINDOW:
        // Windows' foreground rules may keep a shown window inactive.
        if (wParam != FALSE && OnShow) {
            OnShow();
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            focusedControl = ::GetFocus();
        } else {
            RestoreFocus();
            if (OnActivate) {
                OnActivate();
            }
        }
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == InProgButtonId && OnProgramClick) {
                OnProgramClick();
            } else if (LOWORD(wParam) == ExitButtonId && OnExitClick) {
                OnExitClick();
            }
        }
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == statusLabel) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, statusColour);
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->hwndItem == connectBallImage) {
            PaintIndicator(*item);
            return TRUE;
        }
        break;
    }
    case WM_SIZE:
        if (progStatusBar != nullptr) {
            PlaceStatusBar();
            // The status bar moves its size grip with its right edge but leaves the old one
            // on screen: draw it anew.
            ::InvalidateRect(progStatusBar, nullptr, TRUE);
        }
        break;
    case WM_GETMINMAXINFO:
        // Any smaller, and the status bar covers the ball, the label and the buttons.
        if (outerWidth > 0) {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            const RECT outer = DesignOuterRect();
            limits->ptMinTrackSize.x = outer.right - outer.left;
            limits->ptMinTrackSize.y = outer.bottom - outer.top;
            return 0;
        }
        break;
    case DpiChangedMessage: {
        ApplyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace app::win32
