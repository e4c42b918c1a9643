#include "app/win32/SystemMetrics.h"

namespace app::win32 {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

template <typename Function> Function User32Function(const char* name) {
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return nullptr;
    }
    // The signatures are those the system documents for these names.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

UINT ScreenDpi() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96U;
}

} // namespace

UINT WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return dpi;
        }
    }
    return ScreenDpi();
}

RECT OuterRectForClient(RECT client, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto adjustForDpi =
        User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT outer = client;
    if (adjustForDpi == nullptr || !adjustForDpi(&outer, style, FALSE, exStyle, dpi)) {
        outer = client;
        ::AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    }
    return outer;
}

LOGFONTW SystemDialogFont(UINT dpi) {
    static const auto parametersForDpi =
        User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (parametersForDpi == nullptr ||
        !parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    }
    return metrics.lfMessageFont;
}

} // namespace app::win32
