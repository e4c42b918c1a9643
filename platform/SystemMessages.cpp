#include "platform/SystemMessages.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform {

namespace {

constexpr DWORD kErrorMrMidNotFound = 317;
constexpr DWORD kErrorResourceLangNotFound = 1815;
constexpr DWORD kAllocateBuffer = 0x00000100u;
constexpr DWORD kFromString = 0x00000400u;
constexpr DWORD kFromHmodule = 0x00000800u;
constexpr DWORD kMaxWidthMask = 0x000000FFu;

constexpr std::array<std::pair<DWORD, std::string_view>, 28> kMessages{{
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {21, "The device is not ready.\r\n"},
    {23, "Data error (cyclic redundancy check).\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another "
         "process.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {121, "The semaphore timeout period has expired.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {127, "The specified procedure could not be found.\r\n"},
    {259, "No more data is available.\r\n"},
    {995, "The I/O operation has been aborted because of either a thread exit or an "
          "application request.\r\n"},
    {996, "Overlapped I/O event is not in a signaled state.\r\n"},
    {997, "Overlapped I/O operation is in progress.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n"},
    {1167, "The device is not connected.\r\n"},
    {1400, "Invalid window handle.\r\n"},
    {1460, "This operation returned because the timeout period expired.\r\n"},
    {1784, "The supplied user buffer is not valid for the requested operation.\r\n"},
    {1815, "The specified resource language ID cannot be found in the image file.\r\n"},
}};

bool IsEnglishOrDefault(DWORD languageId) {
    switch (languageId) {
    case 0x0000: // neutral: the thread's and the user's defaults
    case 0x0009: // English
    case 0x0400: // the user's default
    case 0x0409: // English (United States)
    case 0x0800: // the system's default
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<std::string_view> SystemMessageText(DWORD code) {
    const auto found = std::find_if(kMessages.begin(), kMessages.end(),
                                    [code](const auto& entry) { return entry.first == code; });
    if (found == kMessages.end()) {
        return std::nullopt;
    }
    return found->second;
}

DWORD FormatSystemMessage(DWORD flags, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                          DWORD& error) {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || (flags & (kFromString | kFromHmodule)) != 0 ||
        (flags & kAllocateBuffer) != 0) {
        error = ERROR_CALL_NOT_IMPLEMENTED;
        return 0;
    }
    if (!IsEnglishOrDefault(languageId)) {
        error = kErrorResourceLangNotFound;
        return 0;
    }
    std::optional<std::string_view> text = SystemMessageText(messageId);
    if (!text) {
        error = kErrorMrMidNotFound;
        return 0;
    }
    // With a maximum line width the table's line breaks are dropped.
    if ((flags & kMaxWidthMask) != 0 && text->ends_with("\r\n")) {
        text->remove_suffix(2);
    }
    if (buffer == nullptr || text->size() + 1 > size) {
        error = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    std::copy(text->begin(), text->end(), buffer);
    buffer[text->size()] = '\0';
    error = ERROR_SUCCESS;
    return static_cast<DWORD>(text->size());
}

} // namespace platform
