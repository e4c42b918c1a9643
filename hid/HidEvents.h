// Events, errors and small types shared by the HID controller component.
#pragma once

#include "platform/PlatformTypes.h"
#include "runtime/Component.h"
#include "runtime/Event.h"

#include <stdexcept>
#include <string>

namespace hid {

class THidDevice;
class THidDeviceController;

// Wide text as the platform's HID strings deliver it (UTF-16 code units). char16_t on every
// platform, also where WCHAR is wchar_t, so that callers see one type.
using WideString = std::u16string;

using THidPlugEvent = runtime::TMethodEvent<void(THidDevice* HidDev)>;
using THidEnumerateEvent = runtime::TMethodEvent<bool(THidDevice* HidDev, int Idx)>;
// Data points at the payload after the report ID; it is valid only during the call.
using THidDataEvent =
    runtime::TMethodEvent<void(THidDevice* HidDev, BYTE ReportID, const BYTE* Data, WORD Size)>;
using THidDataErrorEvent = runtime::TMethodEvent<void(THidDevice* HidDev, DWORD Error)>;
using runtime::TNotifyEvent;

// Selects one of a device's overlapped handles.
enum class DeviceKind { Read = 0, Write = 1 };

// Raised only by device construction: "device cannot be opened" or "device cannot be
// identified".
class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace hid
