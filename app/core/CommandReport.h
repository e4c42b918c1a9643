// The adapter's command report: report ID 0x05 and two command bytes at the start of a
// zeroed 128-byte buffer, written as long as the adapter's output report.
#pragma once

#include "hid/HidDevice.h"
#include "platform/PlatformTypes.h"

#include <array>
#include <cstddef>

namespace app {

inline constexpr std::size_t CommandBufferSize = 128;
using TCommandBuffer = std::array<BYTE, CommandBufferSize>;
inline constexpr BYTE CommandReportID = 0x05;
inline constexpr BYTE EnableProgrammerFirstByte = 0x00;
inline constexpr BYTE EnableProgrammerSecondByte = 0x02;

TCommandBuffer MakeCommandBuffer(BYTE firstByte, BYTE secondByte);

// Writes one output report from the buffer: the device's OutputReportByteLength bytes from
// its start. True when written; otherwise error is the system's last error after the failed
// write, ERROR_DEVICE_NOT_CONNECTED for a device that has left, or ERROR_INVALID_USER_BUFFER
// for a report longer than the buffer, which is never written.
bool WriteCommandReport(hid::THidDevice& device, const TCommandBuffer& buffer, DWORD& error);

} // namespace app
