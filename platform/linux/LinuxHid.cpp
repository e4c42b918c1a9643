#include "platform/linux/HidrawFile.h"
#include "platform/linux/LinuxServices.h"
#include "platform/linux/ReportDescriptor.h"
#include "platform/linux/Utf16.h"

#include <algorithm>
#include <cstring>

namespace platform::linux_backend {

namespace {

constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr ULONG kMinInputBuffers = 2;
constexpr ULONG kMaxInputBuffers = 512;
// String descriptor 0 (the language list) cannot be read through hidraw or sysfs. Nor is it
// needed: strings come from sysfs, so a serial number can never be a copy of that list, and
// any list given here would turn a real serial that starts with its first ID into none.
constexpr DWORD kErrorNotSupported = 50;

// Copies UTF-16 text into a caller's byte buffer; zero-terminated when there is room.
void CopyUnits(std::u16string_view units, PVOID buffer, ULONG length) {
    const std::size_t room = length / sizeof(char16_t);
    const std::size_t count = std::min(units.size(), room);
    if (count != 0) {
        std::memcpy(buffer, units.data(), count * sizeof(char16_t));
    }
    if (count < room) {
        const char16_t zero = 0;
        std::memcpy(static_cast<BYTE*>(buffer) + count * sizeof zero, &zero, sizeof zero);
    }
}

} // namespace

std::optional<THidrawIdentity> TLinuxServices::IdentityFor(const THidrawNode& node,
                                                           TIdentityDetail detail) {
    bool present = false;
    if (std::optional<THidrawIdentity> kept = instances_.Identity(node.DevPath, present)) {
        return kept;
    }
    // A present instance is read whole once; the rest of its life it is asked again and again.
    std::optional<THidrawIdentity> identity =
        ReadHidrawIdentity(Roots(), node, present ? TIdentityDetail::Full : detail);
    ++identityReads_;
    if (identity && present) {
        instances_.Keep(node.DevPath, *identity);
    }
    return identity;
}

TDescription TLinuxServices::DescriptionFor(const THidrawNode& node,
                                            const THidrawIdentity& identity) {
    bool present = false;
    if (const std::optional<TDescription> kept = instances_.Description(node.DevPath, present)) {
        return *kept;
    }
    const std::vector<std::uint8_t> bytes = ReadReportDescriptor(identity);
    ++descriptorReads_;
    const TDescription description{!bytes.empty(), ParseReportDescriptor(bytes)};
    if (present) {
        instances_.Keep(node.DevPath, description);
    }
    return description;
}

std::optional<TReportLengths> TLinuxServices::LengthsOf(THidrawFile& file) {
    return file.Lengths([this, &file]() -> std::optional<TReportLengths> {
        const std::optional<THidrawIdentity> identity =
            IdentityFor(file.node, TIdentityDetail::Ids);
        if (!identity) {
            return std::nullopt;
        }
        const TDescription description = DescriptionFor(file.node, *identity);
        if (!description.Readable) {
            return std::nullopt;
        }
        return description.Lengths;
    });
}

std::optional<THidrawIdentity> TLinuxServices::IdentityOf(const THidrawFile& file,
                                                          TIdentityDetail detail) {
    // A hidraw name is reused after its device leaves: compare the sysfs path too.
    const std::optional<THidrawNode> now = FindNode(file.node.Name);
    std::optional<THidrawIdentity> identity;
    if (now && now->DevPath == file.node.DevPath) {
        identity = IdentityFor(*now, detail);
    }
    if (!identity) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    }
    return identity;
}

void TLinuxServices::HidD_GetHidGuid(LPGUID guid) {
    if (guid != nullptr) {
        *guid = kHidInterfaceGuid;
    }
}

BOOLEAN TLinuxServices::HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes) {
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (attributes == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::optional<THidrawIdentity> identity = IdentityOf(*file, TIdentityDetail::Ids);
    if (!identity) {
        return FALSE;
    }
    attributes->Size = sizeof(HIDD_ATTRIBUTES);
    attributes->VendorID = identity->VendorID;
    attributes->ProductID = identity->ProductID;
    attributes->VersionNumber = identity->VersionNumber;
    return TRUE;
}

BOOLEAN TLinuxServices::HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* data) {
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::optional<THidrawIdentity> identity = IdentityOf(*file, TIdentityDetail::Ids);
    if (!identity) {
        return FALSE;
    }
    // A descriptor that cannot be read or parsed gives zero lengths, not a failure: the
    // device still identifies, it just cannot be read or written.
    const TReportLengths lengths = DescriptionFor(file->node, *identity).Lengths;
    auto caps = std::make_unique<HIDP_CAPS>();
    caps->UsagePage = lengths.UsagePage;
    caps->Usage = lengths.Usage;
    caps->InputReportByteLength = lengths.Input;
    caps->OutputReportByteLength = lengths.Output;
    caps->FeatureReportByteLength = lengths.Feature;
    caps->NumberLinkCollectionNodes = lengths.Valid ? 1 : 0;
    *data = reinterpret_cast<PHIDP_PREPARSED_DATA>(caps.get());
    std::lock_guard lock(mutex_);
    preparsed_.emplace(*data, std::move(caps));
    return TRUE;
}

BOOLEAN TLinuxServices::HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) {
    std::lock_guard lock(mutex_);
    if (preparsed_.erase(data) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

NTSTATUS TLinuxServices::HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
    std::lock_guard lock(mutex_);
    const auto found = preparsed_.find(data);
    if (found == preparsed_.end() || caps == nullptr) {
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    }
    *caps = *found->second;
    return HIDP_STATUS_SUCCESS;
}

BOOLEAN TLinuxServices::HidD_GetString(TStringKind kind, HANDLE handle, PVOID buffer,
                                       ULONG length) {
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (buffer == nullptr) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::optional<THidrawIdentity> identity = IdentityOf(*file, TIdentityDetail::Full);
    if (!identity) {
        return FALSE;
    }
    const std::optional<std::string>& text =
        kind == TStringKind::Manufacturer ? identity->Manufacturer
        : kind == TStringKind::Product    ? identity->Product
                                          : identity->SerialNumber;
    if (!text) {
        // The device has no such string descriptor.
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CopyUnits(Utf16FromUtf8(*text), buffer, length);
    return TRUE;
}

BOOLEAN TLinuxServices::HidD_GetIndexedString(HANDLE handle, ULONG index, PVOID buffer,
                                              ULONG length) {
    if (index >= 1 && index <= 3) {
        // The usual descriptor indexes: 1 manufacturer, 2 product, 3 serial number.
        return HidD_GetString(static_cast<TStringKind>(index - 1), handle, buffer, length);
    }
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (buffer == nullptr) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (!IdentityOf(*file, TIdentityDetail::Ids)) {
        return FALSE;
    }
    // No language list to be had; any other index, the device would stall the request.
    SetLastError(index == 0 ? kErrorNotSupported : ERROR_GEN_FAILURE);
    return FALSE;
}

BOOLEAN TLinuxServices::HidD_GetNumInputBuffers(HANDLE handle, PULONG count) {
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (count == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *count = file->numInputBuffers.load();
    return TRUE;
}

// hidraw's queue has a fixed length; the count is kept per handle so that it reads back as
// set, which is all the callers rely on.
BOOLEAN TLinuxServices::HidD_SetNumInputBuffers(HANDLE handle, ULONG count) {
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (count < kMinInputBuffers || count > kMaxInputBuffers) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    file->numInputBuffers.store(count);
    return TRUE;
}

TLinuxCounts TLinuxServices::Counts() const {
    return {nodeOpens_.load(), accessChecks_.load(), identityReads_.load(),
            descriptorReads_.load()};
}

std::size_t TLinuxServices::PreparsedDataCount() const {
    std::lock_guard lock(mutex_);
    return preparsed_.size();
}

} // namespace platform::linux_backend
