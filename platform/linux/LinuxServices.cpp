#include "platform/linux/LinuxServices.h"

#include "platform/SystemMessages.h"
#include "platform/linux/DeviceMonitor.h"
#include "platform/linux/HidrawFile.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <sys/utsname.h>
#include <unistd.h>
#include <utility>

namespace platform::linux_backend {

namespace {

constexpr DWORD kErrorInvalidWindowHandle = 1400;

// Reads one decimal number at the front of text and drops it and one following separator.
bool TakeNumber(std::string_view& text, DWORD& value, bool separatorRequired) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc{} || next == begin) {
        return false;
    }
    text.remove_prefix(static_cast<std::size_t>(next - begin));
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        return true;
    }
    return !separatorRequired;
}

} // namespace

bool ParseKernelRelease(std::string_view release, DWORD& major, DWORD& minor, DWORD& build) {
    major = minor = build = 0;
    if (!TakeNumber(release, major, true) || !TakeNumber(release, minor, false)) {
        return false;
    }
    TakeNumber(release, build, false);
    return true;
}

TLinuxServices::TLinuxServices() : TLinuxServices(TLinuxOptions{}) {}

TLinuxServices::TLinuxServices(TLinuxOptions options) : options_(std::move(options)) {}

TLinuxServices::~TLinuxServices() {
    // The monitor first: it posts through the windows and forgets instances.
    {
        std::lock_guard lock(monitorMutex_);
        monitor_.reset();
    }
    if (!monitorStarted_ && options_.EventSocket >= 0) {
        close(options_.EventSocket);
    }
    // Every reader thread ends before its descriptor closes (THidrawFile).
    std::map<HANDLE, std::shared_ptr<THidrawFile>> files;
    {
        std::lock_guard lock(mutex_);
        files.swap(files_);
    }
}

TLinuxServices* TLinuxServices::Installed() {
    return dynamic_cast<TLinuxServices*>(&Services());
}

void TLinuxServices::StartMonitor() {
    std::lock_guard lock(monitorMutex_);
    if (monitorStarted_) {
        return;
    }
    monitorStarted_ = true;
    const TEventSourceOpener openKernel = options_.OpenKernelEvents
                                              ? options_.OpenKernelEvents
                                              : TEventSourceOpener(&OpenKernelEvents);
    std::unique_ptr<TEventSource> source;
    switch (options_.Events) {
    case TEventFeed::Automatic:
        if (UdevRuns(options_.Roots)) {
            source = OpenUdevEvents();
        }
        if (!source) {
            source = openKernel();
        }
        if (!source) {
            // Nothing says so otherwise: plugging would go unnoticed without a word.
            source = WatchDeviceDirectory(options_.Roots);
            if (source) {
                std::fprintf(stderr,
                             "Device events: watching %s for hidraw nodes (no udev or "
                             "kernel event socket)\n",
                             options_.Roots.Dev.c_str());
            } else {
                std::fprintf(stderr,
                             "Device events: none (no udev or kernel event socket, "
                             "%s cannot be watched); plugging is not noticed\n",
                             options_.Roots.Dev.c_str());
            }
        }
        break;
    case TEventFeed::Kernel:
        source = openKernel();
        break;
    case TEventFeed::DeviceDirectory:
        source = WatchDeviceDirectory(options_.Roots);
        break;
    case TEventFeed::Udev:
        source = OpenUdevEvents();
        break;
    case TEventFeed::Socket:
        source = EventsFromSocket(std::exchange(options_.EventSocket, -1));
        break;
    case TEventFeed::None:
        break;
    }
    if (options_.EventSocket >= 0) {
        close(std::exchange(options_.EventSocket, -1));
    }
    if (source) {
        monitor_ = std::make_unique<TDeviceMonitor>(
            std::move(source), [this](const TUevent& event) { OnDeviceEvent(event); },
            [this] { OnEventsLost(); });
    }
}

void TLinuxServices::OnDeviceEvent(const TUevent& event) {
    if (event.Action == "remove") {
        instances_.Forget(event.DevPath);
    }
    windows_.Broadcast(WM_DEVICECHANGE, kDbtDevnodesChanged, 0);
}

void TLinuxServices::OnEventsLost() {
    // Which devices came or went is unknown: every window reads the device list again.
    if (!lossTold_.exchange(true)) {
        std::fprintf(stderr, "Device events: some were lost in a burst; the device list is read "
                             "again whenever that happens\n");
    }
    windows_.Broadcast(WM_DEVICECHANGE, kDbtDevnodesChanged, 0);
}

HWND TLinuxServices::CreateNotifyWindow(WindowProcedure procedure) {
    if (!procedure) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const HWND window = windows_.Create(std::move(procedure));
    StartMonitor();
    return window;
}

BOOL TLinuxServices::DestroyWindow(HWND window) {
    switch (windows_.Destroy(window)) {
    case TNotifyWindows::TDestroyed::Yes:
        return TRUE;
    case TNotifyWindows::TDestroyed::NotOwner:
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    case TNotifyWindows::TDestroyed::NoWindow:
        break;
    }
    SetLastError(kErrorInvalidWindowHandle);
    return FALSE;
}

BOOL TLinuxServices::PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!windows_.Post(window, message, wParam, lParam)) {
        SetLastError(kErrorInvalidWindowHandle);
        return FALSE;
    }
    return TRUE;
}

DWORD TLinuxServices::FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId,
                                     LPSTR buffer, DWORD size, void*) {
    DWORD error = ERROR_SUCCESS;
    const DWORD stored = FormatSystemMessage(flags, messageId, languageId, buffer, size, error);
    if (stored == 0) {
        if (buffer != nullptr && size > 0) {
            buffer[0] = '\0';
        }
        SetLastError(error);
    }
    return stored;
}

BOOL TLinuxServices::GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    utsname name{};
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    if (uname(&name) != 0 || !ParseKernelRelease(name.release, major, minor, build)) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = build;
    info->dwPlatformId = 0;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

} // namespace platform::linux_backend
