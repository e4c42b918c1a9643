#include "platform/sim/SimCore.h"

#include <algorithm>
#include <cstring>

namespace platform::sim::detail {

namespace {

constexpr ULONG kMinInputBuffers = 2;
constexpr ULONG kMaxInputBuffers = 512;

// Copies UTF-16 text into a caller's byte buffer; zero-terminated when there is room.
void CopyUnits(const std::vector<std::uint16_t>& units, PVOID buffer, ULONG length) {
    const std::size_t room = length / sizeof(std::uint16_t);
    const std::size_t count = std::min(units.size(), room);
    if (count != 0) {
        std::memcpy(buffer, units.data(), count * sizeof(std::uint16_t));
    }
    if (count < room) {
        const std::uint16_t zero = 0;
        std::memcpy(static_cast<BYTE*>(buffer) + count * sizeof zero, &zero, sizeof zero);
    }
}

std::vector<std::uint16_t> Units(const std::u16string& text) {
    return {text.begin(), text.end()};
}

HIDP_CAPS CapsOf(const TSimDeviceConfig& config) {
    HIDP_CAPS caps{};
    caps.Usage = config.Usage;
    caps.UsagePage = config.UsagePage;
    caps.InputReportByteLength = config.InputReportByteLength;
    caps.OutputReportByteLength = config.OutputReportByteLength;
    caps.FeatureReportByteLength = config.FeatureReportByteLength;
    caps.NumberLinkCollectionNodes = 1;
    caps.NumberInputValueCaps = config.InputReportByteLength > 1 ? 1 : 0;
    caps.NumberInputDataIndices = caps.NumberInputValueCaps;
    caps.NumberOutputValueCaps = config.OutputReportByteLength > 1 ? 1 : 0;
    caps.NumberOutputDataIndices = caps.NumberOutputValueCaps;
    caps.NumberFeatureValueCaps = config.FeatureReportByteLength > 1 ? 1 : 0;
    caps.NumberFeatureDataIndices = caps.NumberFeatureValueCaps;
    return caps;
}

} // namespace

void TSimCore::HidD_GetHidGuid(LPGUID guid) {
    std::lock_guard lock(mutex);
    if (guid == nullptr) {
        ViolationLocked("HidD_GetHidGuid: no record for the GUID");
        return;
    }
    *guid = kHidInterfaceGuid;
}

BOOLEAN TSimCore::HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes) {
    std::lock_guard lock(mutex);
    TFile* file = FileLocked(handle, "HidD_GetAttributes");
    if (file == nullptr) {
        return FALSE;
    }
    if (attributes == nullptr) {
        ViolationLocked("HidD_GetAttributes: no record for the attributes");
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const TDevice& device = *file->device;
    if (!device.present) {
        SetError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    if (device.config.IdentificationError) {
        SetError(*device.config.IdentificationError);
        return FALSE;
    }
    attributes->Size = sizeof(HIDD_ATTRIBUTES);
    attributes->VendorID = device.config.VendorID;
    attributes->ProductID = device.config.ProductID;
    attributes->VersionNumber = device.config.VersionNumber;
    return TRUE;
}

BOOLEAN TSimCore::HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* data) {
    std::lock_guard lock(mutex);
    TFile* file = FileLocked(handle, "HidD_GetPreparsedData");
    if (file == nullptr) {
        return FALSE;
    }
    if (data == nullptr) {
        ViolationLocked("HidD_GetPreparsedData: nowhere to store the data");
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const TDevice& device = *file->device;
    if (!device.present) {
        SetError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    if (device.config.PreparsedDataError) {
        SetError(*device.config.PreparsedDataError);
        return FALSE;
    }
    *data = MakeHandle<PHIDP_PREPARSED_DATA>(nextPreparsed, 0x100);
    preparsed.emplace(*data, TPreparsed{CapsOf(device.config)});
    ChangedLocked();
    return TRUE;
}

BOOLEAN TSimCore::HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) {
    std::lock_guard lock(mutex);
    if (preparsed.erase(data) == 0) {
        ViolationLocked("HidD_FreePreparsedData: " + HandleText(data) +
                        (freedPreparsed.contains(data) ? " freed twice" : " was never handed out"));
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    freedPreparsed.insert(data);
    ChangedLocked();
    return TRUE;
}

NTSTATUS TSimCore::HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
    std::lock_guard lock(mutex);
    const auto found = preparsed.find(data);
    if (found == preparsed.end()) {
        // The platform reads the data's header first: anything but live data is a crash.
        ViolationLocked("HidP_GetCaps: preparsed data " + HandleText(data) +
                        (data == nullptr                 ? " is null"
                         : freedPreparsed.contains(data) ? " used after it was freed"
                                                         : " was never handed out"));
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    }
    if (caps == nullptr) {
        ViolationLocked("HidP_GetCaps: no record for the capabilities");
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    }
    *caps = found->second.caps;
    return HIDP_STATUS_SUCCESS;
}

BOOLEAN TSimCore::HidD_GetString(TStringKind kind, HANDLE handle, PVOID buffer, ULONG length) {
    static constexpr std::string_view kNames[] = {
        "HidD_GetManufacturerString", "HidD_GetProductString", "HidD_GetSerialNumberString"};
    const std::string_view function = kNames[static_cast<int>(kind)];
    std::lock_guard lock(mutex);
    TFile* file = FileLocked(handle, function);
    if (file == nullptr) {
        return FALSE;
    }
    if (buffer == nullptr) {
        ViolationLocked(std::string(function) + ": no buffer");
        SetError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const TDevice& device = *file->device;
    if (!device.present) {
        SetError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    const TSimString& text = kind == TStringKind::Manufacturer ? device.config.Manufacturer
                             : kind == TStringKind::Product    ? device.config.Product
                                                               : device.config.SerialNumber;
    if (text.State != TSimString::TState::Present) {
        SetError(text.Error);
        return FALSE;
    }
    CopyUnits(Units(text.Text), buffer, length);
    return TRUE;
}

BOOLEAN TSimCore::HidD_GetIndexedString(HANDLE handle, ULONG index, PVOID buffer, ULONG length) {
    {
        std::lock_guard lock(mutex);
        TFile* file = FileLocked(handle, "HidD_GetIndexedString");
        if (file == nullptr) {
            return FALSE;
        }
        if (buffer == nullptr) {
            ViolationLocked("HidD_GetIndexedString: no buffer");
            SetError(ERROR_INVALID_USER_BUFFER);
            return FALSE;
        }
        const TDevice& device = *file->device;
        if (!device.present) {
            SetError(ERROR_DEVICE_NOT_CONNECTED);
            return FALSE;
        }
        if (index == 0) {
            // String descriptor 0 is the device's language list.
            if (!device.config.Languages) {
                SetError(ERROR_GEN_FAILURE);
                return FALSE;
            }
            CopyUnits(*device.config.Languages, buffer, length);
            return TRUE;
        }
        if (index > 3) {
            SetError(ERROR_GEN_FAILURE); // the device stalls the request
            return FALSE;
        }
    }
    // The usual descriptor indexes: 1 manufacturer, 2 product, 3 serial number.
    return HidD_GetString(static_cast<TStringKind>(index - 1), handle, buffer, length);
}

BOOLEAN TSimCore::HidD_GetNumInputBuffers(HANDLE handle, PULONG count) {
    std::lock_guard lock(mutex);
    TFile* file = FileLocked(handle, "HidD_GetNumInputBuffers");
    if (file == nullptr) {
        return FALSE;
    }
    if (count == nullptr) {
        ViolationLocked("HidD_GetNumInputBuffers: nowhere to store the count");
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file->device->present) {
        SetError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    *count = file->numInputBuffers;
    return TRUE;
}

BOOLEAN TSimCore::HidD_SetNumInputBuffers(HANDLE handle, ULONG count) {
    std::lock_guard lock(mutex);
    TFile* file = FileLocked(handle, "HidD_SetNumInputBuffers");
    if (file == nullptr) {
        return FALSE;
    }
    if (!file->device->present) {
        SetError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    if (count < kMinInputBuffers || count > kMaxInputBuffers) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    file->numInputBuffers = count;
    while (file->input.size() > count) {
        file->input.pop_front();
    }
    ChangedLocked();
    return TRUE;
}

} // namespace platform::sim::detail
