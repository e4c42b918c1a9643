// Looks at the program's window from outside its process, as the real-window run needs:
//   vuz-window-check controls              the child controls' classes and places
//   vuz-window-check click Program|Exit    presses a button (BM_CLICK)
//   vuz-window-check status TEXT SECONDS   waits until the status line reads TEXT
//   vuz-window-check panel N TEXT SECONDS  waits until status panel N reads TEXT
//   vuz-window-check size                  prints the window's outer size, "W x H"
//   vuz-window-check resize W H            asks for that outer size; prints the one it got
//   vuz-window-check redraw                has the window and its controls drawn anew
// Finds the top-level window titled exactly "ZEM VUZ Utility V1.0", or the title given
// with --title TEXT before the command (waits up to 20 s).
// Exit code 0 when the check holds; what it saw goes to standard output.
#include "app/win32/Layout.h"

#include <chrono>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>

namespace {

using namespace app::win32;

constexpr const char* UtilityTitle = "ZEM VUZ Utility V1.0";

struct TExpected {
    const char* Name;
    int Id;
    const char* ClassName;
    RECT Rect; // client coordinates, 96 DPI, the 714 x 113 window
    bool Visible;
};

const TExpected Table[] = {
    {"DevListBox", DevListBoxId, "ListBox", {65, 77, 385, 89}, false},
    {"HistoryListBox", HistoryListBoxId, "ListBox", {9, 56, 657, 73}, false},
    {"ConnectBallImage", ConnectBallImageId, "Static", {15, 10, 47, 42}, true},
    {"Green_Image", Green_ImageId, "Static", {419, 11, 451, 43}, false},
    {"Gray_Image", Gray_ImageId, "Static", {453, 11, 485, 43}, false},
    {"ExitButton", ExitButtonId, "Button", {557, 17, 646, 42}, true},
    {"InProgButton", InProgButtonId, "Button", {460, 17, 550, 42}, true},
    {"ProgStatusBar", ProgStatusBarId, "msctls_statusbar32", {0, 57, 706, 79}, true},
};

// Polls for a condition until a deadline; the window lives in another process.
template <typename Condition> bool WaitFor(Condition done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(),
                                             static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return wide;
}

HWND FindForm(const std::string& title) {
    const std::wstring wanted = Wide(title);
    HWND form = nullptr;
    WaitFor([&] { return (form = ::FindWindowW(nullptr, wanted.c_str())) != nullptr; },
            std::chrono::seconds(20));
    return form;
}

void PrintOuterSize(HWND form) {
    RECT outer{};
    ::GetWindowRect(form, &outer);
    std::printf("%ld x %ld\n", outer.right - outer.left, outer.bottom - outer.top);
}

int Resize(HWND form, int width, int height) {
    // Sent to the window's thread, which has handled it when the call returns.
    ::SetWindowPos(form, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PrintOuterSize(form);
    return 0;
}

int Redraw(HWND form) {
    ::RedrawWindow(form, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // A message round trip: the window's thread has painted when it answers.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    return 0;
}

std::string TextOf(HWND window) {
    char text[512] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return text;
}

int CheckControls(HWND form) {
    RECT client{};
    ::GetClientRect(form, &client);
    RECT outer{};
    ::GetWindowRect(form, &outer);
    std::printf("window: client %ld x %ld, outer %ld x %ld at (%ld, %ld)\n", client.right,
                client.bottom, outer.right - outer.left, outer.bottom - outer.top, outer.left,
                outer.top);
    int failures = 0;
    for (const TExpected& expected : Table) {
        const HWND control = ::GetDlgItem(form, expected.Id);
        char className[64] = {};
        RECT rect{};
        if (control != nullptr) {
            ::GetClassNameA(control, className, sizeof(className));
            ::GetWindowRect(control, &rect);
            ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
        }
        const bool visible = control != nullptr && ::IsWindowVisible(control) != FALSE;
        const bool ok = control != nullptr && ::lstrcmpiA(className, expected.ClassName) == 0 &&
                        ::EqualRect(&rect, &expected.Rect) && visible == expected.Visible;
        std::printf("%-5s %-17s %-19s (%ld, %ld) %ld x %ld %s\n", ok ? "ok" : "WRONG",
                    expected.Name, className, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, visible ? "visible" : "hidden");
        failures += ok ? 0 : 1;
    }
    const HWND label = ::GetDlgItem(form, StatusLabelId);
    RECT labelRect{};
    ::GetWindowRect(label, &labelRect);
    ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&labelRect), 2);
    const bool labelOk = labelRect.left == 53 && labelRect.top == 18;
    std::printf("%-5s %-17s (%ld, %ld) \"%s\"\n", labelOk ? "ok" : "WRONG", "StatusLabel",
                labelRect.left, labelRect.top, TextOf(label).c_str());
    failures += labelOk ? 0 : 1;
    return failures == 0 ? 0 : 1;
}

int Click(HWND form, const std::string& button) {
    const int id = button == "Program" ? InProgButtonId : button == "Exit" ? ExitButtonId : 0;
    const HWND control = id != 0 ? ::GetDlgItem(form, id) : nullptr;
    if (control == nullptr) {
        std::printf("no button %s\n", button.c_str());
        return 2;
    }
    // Posted: the click's work (and, for Exit, the window's end) happens in the program's loop.
    ::PostMessageW(control, BM_CLICK, 0, 0);
    std::printf("clicked %s\n", button.c_str());
    return 0;
}

int WaitForStatus(HWND form, const std::string& expected, int seconds) {
    const HWND label = ::GetDlgItem(form, StatusLabelId);
    std::string seen;
    const bool found = WaitFor(
        [&] {
            seen = TextOf(label);
            return seen == expected;
        },
        std::chrono::seconds(seconds));
    std::printf("status line: \"%s\"\n", seen.c_str());
    return found ? 0 : 1;
}

// A buffer in the window's process: the status bar's text messages carry a pointer that
// the system does not carry across processes.
class TRemoteBuffer {
public:
    TRemoteBuffer(HWND window, std::size_t size) : size(size) {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                processId);
        if (process != nullptr) {
            address =
                ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~TRemoteBuffer() {
        if (address != nullptr) {
            ::VirtualFreeEx(process, address, 0, MEM_RELEASE);
        }
        if (process != nullptr) {
            ::CloseHandle(process);
        }
    }
    TRemoteBuffer(const TRemoteBuffer&) = delete;
    TRemoteBuffer& operator=(const TRemoteBuffer&) = delete;

    void* Address() const { return address; }
    std::wstring Text() const {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        SIZE_T read = 0;
        ::ReadProcessMemory(process, address, text.data(), size - sizeof(wchar_t), &read);
        text.resize(std::wcslen(text.c_str()));
        return text;
    }

private:
    std::size_t size;
    HANDLE process = nullptr;
    void* address = nullptr;
};

std::string Narrow(const std::wstring& text) {
    std::string narrow(text.size() * 3 + 1, '\0');
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(),
                                             static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return narrow;
}

int WaitForPanel(HWND form, int panel, const std::string& expected, int seconds) {
    const HWND statusBar = ::GetDlgItem(form, ProgStatusBarId);
    const TRemoteBuffer buffer(form, 1024);
    if (buffer.Address() == nullptr) {
        std::printf("cannot reach the window's process\n");
        return 1;
    }
    std::string seen;
    const bool found = WaitFor(
        [&] {
            ::SendMessageW(statusBar, SB_GETTEXTW, static_cast<WPARAM>(panel),
                           reinterpret_cast<LPARAM>(buffer.Address()));
            seen = Narrow(buffer.Text());
            return seen == expected;
        },
        std::chrono::seconds(seconds));
    std::printf("status panel %d: \"%s\"\n", panel, seen.c_str());
    const auto devices = ::SendMessageW(::GetDlgItem(form, DevListBoxId), LB_GETCOUNT, 0, 0);
    const auto logLines = ::SendMessageW(::GetDlgItem(form, HistoryListBoxId), LB_GETCOUNT, 0, 0);
    std::printf("device list: %d entries; event log: %d lines\n", static_cast<int>(devices),
                static_cast<int>(logLines));
    return found ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    std::string title = UtilityTitle;
    if (argc > 2 && std::string(argv[1]) == "--title") {
        title = argv[2];
        argc -= 2;
        argv += 2;
    }
    const std::string command = argc > 1 ? argv[1] : "";
    const HWND form = FindForm(title);
    if (form == nullptr) {
        std::printf("no window titled \"%s\"\n", title.c_str());
        return 1;
    }
    if (command == "size") {
        PrintOuterSize(form);
        return 0;
    }
    if (command == "resize" && argc > 3) {
        return Resize(form, std::atoi(argv[2]), std::atoi(argv[3]));
    }
    if (command == "redraw") {
        return Redraw(form);
    }
    if (command == "controls") {
        return CheckControls(form);
    }
    if (command == "click" && argc > 2) {
        return Click(form, argv[2]);
    }
    if (command == "status" && argc > 3) {
        return WaitForStatus(form, argv[2], std::atoi(argv[3]));
    }
    if (command == "panel" && argc > 4) {
        return WaitForPanel(form, std::atoi(argv[2]), argv[3], std::atoi(argv[4]));
    }
    std::printf("usage: vuz-window-check [--title TEXT] controls | click Program|Exit |"
                " status TEXT SECONDS | panel INDEX TEXT SECONDS | size | resize W H | redraw\n");
    return 2;
}
