// Records and handles of the device-setup and HID class libraries, as the bindings and
// their callers use them. Sizes are those of the build's platform (a 64-bit build's
// interface and device records are 32 bytes, its detail record's size field says 8).
#pragma once

#include "platform/PlatformTypes.h"

#ifdef _WIN32

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}
#include <hidpi.h>

// The generic names are macros that pick the ANSI or wide form; the bindings use them as
// names of their own entries, which always hold the ANSI function.
#undef SetupDiGetClassDevs
#undef SetupDiGetDeviceRegistryProperty

// Types of the entries that the program calls, as the system declares the functions.
using PFN_SetupDiGetClassDevsA = decltype(&::SetupDiGetClassDevsA);
using PFN_SetupDiEnumDeviceInterfaces = decltype(&::SetupDiEnumDeviceInterfaces);
using PFN_SetupDiGetDeviceInterfaceDetailA = decltype(&::SetupDiGetDeviceInterfaceDetailA);
using PFN_SetupDiDestroyDeviceInfoList = decltype(&::SetupDiDestroyDeviceInfoList);
using PFN_SetupDiGetDeviceRegistryPropertyA = decltype(&::SetupDiGetDeviceRegistryPropertyA);
using PFN_HidD_GetHidGuid = decltype(&::HidD_GetHidGuid);
using PFN_HidD_GetAttributes = decltype(&::HidD_GetAttributes);
using PFN_HidD_GetPreparsedData = decltype(&::HidD_GetPreparsedData);
using PFN_HidD_FreePreparsedData = decltype(&::HidD_FreePreparsedData);
using PFN_HidD_GetNumInputBuffers = decltype(&::HidD_GetNumInputBuffers);
using PFN_HidD_SetNumInputBuffers = decltype(&::HidD_SetNumInputBuffers);
using PFN_HidP_GetCaps = decltype(&::HidP_GetCaps);
using PFN_HidD_GetManufacturerString = decltype(&::HidD_GetManufacturerString);
using PFN_HidD_GetProductString = decltype(&::HidD_GetProductString);
using PFN_HidD_GetSerialNumberString = decltype(&::HidD_GetSerialNumberString);
using PFN_HidD_GetIndexedString = decltype(&::HidD_GetIndexedString);

#else

using BOOLEAN = unsigned char;
using PBYTE = BYTE*;
using PDWORD = DWORD*;
using PULONG = ULONG*;

using HDEVINFO = void*;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

// The platform packs this record to 1 byte in 32-bit builds (size 5) and to 8 in 64-bit
// builds (size 8); the path always starts 4 bytes in.
#if UINTPTR_MAX == 0xFFFFFFFFu
#pragma pack(push, 1)
#else
#pragma pack(push, 8)
#endif
struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    CHAR DevicePath[1];
};
#pragma pack(pop)
using PSP_DEVICE_INTERFACE_DETAIL_DATA_A = SP_DEVICE_INTERFACE_DETAIL_DATA_A*;

struct HIDD_ATTRIBUTES {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
};
using PHIDD_ATTRIBUTES = HIDD_ATTRIBUTES*;

struct HIDP_CAPS {
    USHORT Usage;
    USHORT UsagePage;
    USHORT InputReportByteLength;
    USHORT OutputReportByteLength;
    USHORT FeatureReportByteLength;
    USHORT Reserved[17];
    USHORT NumberLinkCollectionNodes;
    USHORT NumberInputButtonCaps;
    USHORT NumberInputValueCaps;
    USHORT NumberInputDataIndices;
    USHORT NumberOutputButtonCaps;
    USHORT NumberOutputValueCaps;
    USHORT NumberOutputDataIndices;
    USHORT NumberFeatureButtonCaps;
    USHORT NumberFeatureValueCaps;
    USHORT NumberFeatureDataIndices;
};
using PHIDP_CAPS = HIDP_CAPS*;

struct HIDP_PREPARSED_DATA_;
using PHIDP_PREPARSED_DATA = HIDP_PREPARSED_DATA_*;

using NTSTATUS = LONG;
inline constexpr NTSTATUS HIDP_STATUS_SUCCESS = 0x00110000;
inline constexpr NTSTATUS HIDP_STATUS_INVALID_PREPARSED_DATA = static_cast<NTSTATUS>(0xC0110001);

inline constexpr DWORD DIGCF_PRESENT = 0x00000002;
inline constexpr DWORD DIGCF_DEVICEINTERFACE = 0x00000010;

// Types of the entries that the program calls, with the system's parameter lists.
using PFN_SetupDiGetClassDevsA = HDEVINFO (*)(const GUID* classGuid, LPCSTR enumerator, HWND parent,
                                              DWORD flags);
using PFN_SetupDiEnumDeviceInterfaces = BOOL (*)(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                 const GUID* interfaceClassGuid, DWORD memberIndex,
                                                 PSP_DEVICE_INTERFACE_DATA interfaceData);
using PFN_SetupDiGetDeviceInterfaceDetailA = BOOL (*)(HDEVINFO set,
                                                      PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                      DWORD detailSize, PDWORD requiredSize,
                                                      PSP_DEVINFO_DATA device);
using PFN_SetupDiDestroyDeviceInfoList = BOOL (*)(HDEVINFO set);
using PFN_SetupDiGetDeviceRegistryPropertyA = BOOL (*)(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                       DWORD property, PDWORD regDataType,
                                                       PBYTE buffer, DWORD bufferSize,
                                                       PDWORD requiredSize);
using PFN_HidD_GetHidGuid = void (*)(LPGUID hidGuid);
using PFN_HidD_GetAttributes = BOOLEAN (*)(HANDLE device, PHIDD_ATTRIBUTES attributes);
using PFN_HidD_GetPreparsedData = BOOLEAN (*)(HANDLE device, PHIDP_PREPARSED_DATA* data);
using PFN_HidD_FreePreparsedData = BOOLEAN (*)(PHIDP_PREPARSED_DATA data);
using PFN_HidD_GetNumInputBuffers = BOOLEAN (*)(HANDLE device, PULONG count);
using PFN_HidD_SetNumInputBuffers = BOOLEAN (*)(HANDLE device, ULONG count);
using PFN_HidP_GetCaps = NTSTATUS (*)(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps);
using PFN_HidD_GetManufacturerString = BOOLEAN (*)(HANDLE device, PVOID buffer, ULONG length);
using PFN_HidD_GetProductString = BOOLEAN (*)(HANDLE device, PVOID buffer, ULONG length);
using PFN_HidD_GetSerialNumberString = BOOLEAN (*)(HANDLE device, PVOID buffer, ULONG length);
using PFN_HidD_GetIndexedString = BOOLEAN (*)(HANDLE device, ULONG index, PVOID buffer,
                                              ULONG length);

static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (sizeof(void*) == 8 ? 32 : 28));
static_assert(sizeof(SP_DEVINFO_DATA) == (sizeof(void*) == 8 ? 32 : 28));
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (sizeof(void*) == 8 ? 8 : 5));
static_assert(sizeof(HIDD_ATTRIBUTES) == 12);
static_assert(sizeof(HIDP_CAPS) == 64);

#endif // _WIN32
