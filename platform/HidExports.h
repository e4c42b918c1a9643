// The exports of the HID class library "HID.dll" that the HID binding looks up, in table
// order, and the table of entries made from them. None has ANSI and wide forms.
#pragma once

#include "platform/ExportTable.h"

#include <cstddef>
#include <span>

// VUZ_HID_FUNCTIONS(FUNCTION) calls FUNCTION(Name, Copies) for each export Name; Copies is 2
// for the usage-list functions whose entry the table holds twice.
#define VUZ_HID_FUNCTIONS(FUNCTION)                                                                \
    FUNCTION(HidD_Hello, 1)                                                                        \
    FUNCTION(HidD_GetHidGuid, 1)                                                                   \
    FUNCTION(HidD_GetPreparsedData, 1)                                                             \
    FUNCTION(HidD_FreePreparsedData, 1)                                                            \
    FUNCTION(HidD_GetConfiguration, 1)                                                             \
    FUNCTION(HidD_SetConfiguration, 1)                                                             \
    FUNCTION(HidD_FlushQueue, 1)                                                                   \
    FUNCTION(HidD_GetFeature, 1)                                                                   \
    FUNCTION(HidD_SetFeature, 1)                                                                   \
    FUNCTION(HidD_GetNumInputBuffers, 1)                                                           \
    FUNCTION(HidD_SetNumInputBuffers, 1)                                                           \
    FUNCTION(HidD_GetAttributes, 1)                                                                \
    FUNCTION(HidD_GetManufacturerString, 1)                                                        \
    FUNCTION(HidD_GetProductString, 1)                                                             \
    FUNCTION(HidD_GetSerialNumberString, 1)                                                        \
    FUNCTION(HidD_GetPhysicalDescriptor, 1)                                                        \
    FUNCTION(HidD_GetIndexedString, 1)                                                             \
    FUNCTION(HidP_GetCaps, 1)                                                                      \
    FUNCTION(HidP_GetLinkCollectionNodes, 1)                                                       \
    FUNCTION(HidP_GetSpecificButtonCaps, 1)                                                        \
    FUNCTION(HidP_GetSpecificValueCaps, 1)                                                         \
    FUNCTION(HidP_GetData, 1)                                                                      \
    FUNCTION(HidP_SetData, 1)                                                                      \
    FUNCTION(HidP_MaxDataListLength, 1)                                                            \
    FUNCTION(HidP_GetUsages, 2)                                                                    \
    FUNCTION(HidP_GetUsagesEx, 2)                                                                  \
    FUNCTION(HidP_SetUsages, 2)                                                                    \
    FUNCTION(HidP_UnsetUsages, 2)                                                                  \
    FUNCTION(HidP_MaxUsageListLength, 2)                                                           \
    FUNCTION(HidP_GetUsageValue, 1)                                                                \
    FUNCTION(HidP_GetScaledUsageValue, 1)                                                          \
    FUNCTION(HidP_GetUsageValueArray, 1)                                                           \
    FUNCTION(HidP_SetUsageValue, 1)                                                                \
    FUNCTION(HidP_SetScaledUsageValue, 1)                                                          \
    FUNCTION(HidP_SetUsageValueArray, 1)                                                           \
    FUNCTION(HidP_UsageListDifference, 1)                                                          \
    FUNCTION(HidP_TranslateUsagesToI8042ScanCodes, 1)

namespace platform {

inline constexpr TExportFunction kHidFunctions[] = {VUZ_HID_FUNCTIONS(VUZ_DETAIL_PLAIN_FUNCTION)};

inline constexpr const char* kHidExportNames[] = {VUZ_HID_FUNCTIONS(VUZ_DETAIL_PLAIN_EXPORTS)};

// Every entry in table order.
inline constexpr TEntryName kHidEntryNames[] = {VUZ_HID_FUNCTIONS(VUZ_DETAIL_PLAIN_ENTRIES)};

inline constexpr std::size_t HidExportCount = std::size(kHidExportNames);
inline constexpr std::size_t HidEntryCount = std::size(kHidEntryNames);
static_assert(HidExportCount == 37);
static_assert(HidEntryCount == 42);

constexpr std::span<const TExportFunction> HidFunctions() {
    return kHidFunctions;
}
constexpr std::span<const char* const> HidExportNames() {
    return kHidExportNames;
}
constexpr std::span<const TEntryName> HidEntryNames() {
    return kHidEntryNames;
}

// Position of an entry in the table (see FindEntry); fails to compile for an unknown name.
consteval std::size_t HidEntryIndex(std::string_view entry, std::size_t occurrence = 0) {
    const std::size_t index = FindEntry(kHidEntryNames, entry, occurrence);
    if (index == HidEntryCount) {
        throw "no such HID entry";
    }
    return index;
}

} // namespace platform
