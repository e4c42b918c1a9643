#include "WindowFixture.h"

#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"

namespace win32view_test {

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return done();
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (done()) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()),
                                    QS_ALLINPUT);
    }
}

RECT ChildRect(HWND child) {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool ScreenIsReal() {
    wchar_t driver[64] = {};
    DWORD size = sizeof(driver);
    const LSTATUS found = ::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Graphics",
                                         RRF_RT_REG_SZ, nullptr, driver, &size);
    return found != ERROR_SUCCESS || ::lstrcmpiW(driver, L"null") != 0;
}

TRendering::TRendering(HWND window) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; });
    ::GdiFlush();
    RECT client{};
    ::GetClientRect(window, &client);
    width = client.right;
    height = client.bottom;
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC screen = ::GetDC(nullptr);
    const HDC dc = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = ::SelectObject(dc, bitmap);
    // What the screen shows where the client area is.
    ::BitBlt(dc, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const auto* source = static_cast<const std::uint32_t*>(bits);
    pixels.assign(source, source + static_cast<std::size_t>(width) * height);
    ::SelectObject(dc, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
}

COLORREF TRendering::Pixel(int x, int y) const {
    const std::uint32_t value = pixels.at(static_cast<std::size_t>(y) * width + x);
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

int TRendering::Count(const RECT& rect, COLORREF colour) const {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            count += Pixel(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

TWindowFixture::TWindowFixture() {
    view = std::make_unique<app::win32::TFormWindow>();
    form = std::make_unique<app::TMainForm>(*view, std::make_unique<app::win32::TWindowTimer>());
    view->OnActivate = [this] {
        form->FormActivate(view.get());
    };
    view->OnProgramClick = [this] {
        form->InProgButtonClick(view.get());
    };
    view->OnExitClick = [this] {
        form->ExitButtonClick(view.get());
    };
    view->Show();
    // A desktop without a window manager may not activate a shown window by itself.
    form->FormActivate(view.get());
    PumpUntil([] { return runtime::PendingMainThreadCalls() == 0; });
}

TWindowFixture::~TWindowFixture() {
    form.reset();
    view.reset();
    runtime::PumpPending();
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

platform::sim::TSimDeviceId TWindowFixture::PlugAdapterAndSettle() {
    platform::sim::TSimDeviceConfig adapter;
    adapter.Product = platform::sim::TSimString::Present(u"VUZ Programming Adapter");
    adapter.SerialNumber = platform::sim::TSimString::Present(u"SER42");
    const auto id = sim.Bus().Plug(adapter);
    PumpUntil([this] { return form->StatusText() == "Scanning..."; });
    for (int tick = 0; tick < app::TMainForm::CountdownTicks; ++tick) {
        form->CheckTargetTimer().Tick();
    }
    return id;
}

} // namespace win32view_test
