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
    if (!device.IsPluggedIn()) {
        // Gone since it was found: no write is tried, so no system error would tell.
        error = ERROR_DEVICE_NOT_CONNECTED;
        return false;
    }
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
