#include "app/core/CommandReport.h"

#include "platform/PlatformServices.h"

namespace app {

TCommandBuffer MakeCommandBuffer(BYTE firstByte, BYTE secondByte) {
    TCommandBuffer buffer{};
    buffer[0] = CommandReportID;
    buffer[1] = firstByte;
    buffer[2] = secondByte;
    return buffer;
}

bool WriteCommandReport(hid::THidDevice& device, const TCommandBuffer& buffer, DWORD& error) {
    error = 0;
    const DWORD length = device.Caps().OutputReportByteLength;
    if (length > buffer.size()) {
        // The report would be taken from beyond the buffer.
        error = ERROR_INVALID_USER_BUFFER;
        return false;
    }
    DWORD written = 0;
    if (!device.WriteReport(buffer.data(), length, written)) {
        error = platform::Services().GetLastError();
        return false;
    }
    return true;
}

} // namespace app
