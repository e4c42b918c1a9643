#include "BindingFakeServices.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using bindingtest::BindingTest;

constexpr const char* kFile = "HID.dll";

bool AllNull() {
    for (FARPROC address : platform::HidEntries().Address) {
        if (address != nullptr) {
            return false;
        }
    }
    return true;
}

TEST_F(BindingTest, HidIsGivenUpByTheFirstRelease) {
    ASSERT_TRUE(platform::BindHid());
    ASSERT_TRUE(platform::BindHid());
    // The second bind holds no second reference but looks every export up again.
    EXPECT_EQ(fake->References(kFile), 1);
    EXPECT_EQ(fake->LookUpCalls, 2 * static_cast<int>(platform::HidEntryCount));

    platform::ReleaseHid();
    EXPECT_FALSE(platform::HidBound());
    EXPECT_EQ(platform::HidLibrary(), nullptr);
    EXPECT_EQ(fake->References(kFile), 0);
    EXPECT_TRUE(AllNull());

    platform::ReleaseHid();
    EXPECT_EQ(fake->FreeCalls, 1);
}

TEST_F(BindingTest, HidAndSetupApiAreBoundApart) {
    ASSERT_TRUE(platform::BindSetupApi());
    ASSERT_TRUE(platform::BindHid());
    platform::ReleaseHid();
    EXPECT_NE(platform::SetupApiLibrary(), nullptr);
    EXPECT_EQ(fake->References("SetupApi.dll"), 1);
    platform::ReleaseSetupApi();
    EXPECT_EQ(fake->References("SetupApi.dll"), 0);
}

// Fakes of the functions the program calls; each notes its name and arguments.
std::vector<std::string> calls;
const HANDLE kDevice = reinterpret_cast<HANDLE>(std::uintptr_t{0xD0});
PHIDP_PREPARSED_DATA const kData = reinterpret_cast<PHIDP_PREPARSED_DATA>(std::uintptr_t{0xDA});

void Note(const std::string& call, HANDLE device) {
    calls.push_back(call + (device == kDevice ? "" : " on another device"));
}

void GetHidGuid(LPGUID guid) {
    calls.emplace_back("HidD_GetHidGuid");
    guid->Data1 = 0x4D1E55B2;
}
BOOLEAN GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    Note("HidD_GetAttributes", device);
    attributes->VendorID = 0x0416;
    return 1;
}
BOOLEAN GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) {
    Note("HidD_GetPreparsedData", device);
    *data = kData;
    return 1;
}
BOOLEAN FreePreparsedData(PHIDP_PREPARSED_DATA data) {
    calls.emplace_back(data == kData ? "HidD_FreePreparsedData" : "HidD_FreePreparsedData other");
    return 1;
}
BOOLEAN GetNumInputBuffers(HANDLE device, PULONG count) {
    Note("HidD_GetNumInputBuffers", device);
    *count = 32;
    return 1;
}
BOOLEAN SetNumInputBuffers(HANDLE device, ULONG count) {
    Note("HidD_SetNumInputBuffers " + std::to_string(count), device);
    return 1;
}
NTSTATUS GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
    calls.emplace_back(data == kData ? "HidP_GetCaps" : "HidP_GetCaps other");
    caps->InputReportByteLength = 8;
    return HIDP_STATUS_SUCCESS;
}
BOOLEAN GetManufacturerString(HANDLE device, PVOID, ULONG length) {
    Note("HidD_GetManufacturerString " + std::to_string(length), device);
    return 1;
}
BOOLEAN GetProductString(HANDLE device, PVOID, ULONG length) {
    Note("HidD_GetProductString " + std::to_string(length), device);
    return 1;
}
BOOLEAN GetSerialNumberString(HANDLE device, PVOID, ULONG length) {
    Note("HidD_GetSerialNumberString " + std::to_string(length), device);
    return 1;
}
BOOLEAN GetIndexedString(HANDLE device, ULONG index, PVOID, ULONG length) {
    Note("HidD_GetIndexedString " + std::to_string(index) + " " + std::to_string(length), device);
    return 1;
}

TEST_F(BindingTest, HidCallsReachTheirExports) {
    using platform::ToFarProc;
    fake->SetExport(kFile, "HidD_GetHidGuid", ToFarProc(&GetHidGuid));
    fake->SetExport(kFile, "HidD_GetAttributes", ToFarProc(&GetAttributes));
    fake->SetExport(kFile, "HidD_GetPreparsedData", ToFarProc(&GetPreparsedData));
    fake->SetExport(kFile, "HidD_FreePreparsedData", ToFarProc(&FreePreparsedData));
    fake->SetExport(kFile, "HidD_GetNumInputBuffers", ToFarProc(&GetNumInputBuffers));
    fake->SetExport(kFile, "HidD_SetNumInputBuffers", ToFarProc(&SetNumInputBuffers));
    fake->SetExport(kFile, "HidP_GetCaps", ToFarProc(&GetCaps));
    fake->SetExport(kFile, "HidD_GetManufacturerString", ToFarProc(&GetManufacturerString));
    fake->SetExport(kFile, "HidD_GetProductString", ToFarProc(&GetProductString));
    fake->SetExport(kFile, "HidD_GetSerialNumberString", ToFarProc(&GetSerialNumberString));
    fake->SetExport(kFile, "HidD_GetIndexedString", ToFarProc(&GetIndexedString));
    ASSERT_TRUE(platform::BindHid());
    calls.clear();

    const platform::THidEntries& hid = platform::HidEntries();
    GUID guid{};
    hid.HidD_GetHidGuid(&guid);
    EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
    HIDD_ATTRIBUTES attributes{};
    EXPECT_TRUE(hid.HidD_GetAttributes(kDevice, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x0416);
    PHIDP_PREPARSED_DATA data = nullptr;
    EXPECT_TRUE(hid.HidD_GetPreparsedData(kDevice, &data));
    HIDP_CAPS caps{};
    EXPECT_EQ(hid.HidP_GetCaps(data, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.InputReportByteLength, 8);
    EXPECT_TRUE(hid.HidD_SetNumInputBuffers(kDevice, 64));
    ULONG count = 0;
    EXPECT_TRUE(hid.HidD_GetNumInputBuffers(kDevice, &count));
    EXPECT_EQ(count, 32u);
    WCHAR text[254] = {};
    EXPECT_TRUE(hid.HidD_GetManufacturerString(kDevice, text, sizeof(text)));
    EXPECT_TRUE(hid.HidD_GetProductString(kDevice, text, sizeof(text)));
    EXPECT_TRUE(hid.HidD_GetSerialNumberString(kDevice, text, sizeof(text)));
    EXPECT_TRUE(hid.HidD_GetIndexedString(kDevice, 0, text, sizeof(text)));
    EXPECT_TRUE(hid.HidD_FreePreparsedData(data));

    EXPECT_EQ(calls, (std::vector<std::string>{
                         "HidD_GetHidGuid", "HidD_GetAttributes", "HidD_GetPreparsedData",
                         "HidP_GetCaps", "HidD_SetNumInputBuffers 64", "HidD_GetNumInputBuffers",
                         "HidD_GetManufacturerString 508", "HidD_GetProductString 508",
                         "HidD_GetSerialNumberString 508", "HidD_GetIndexedString 0 508",
                         "HidD_FreePreparsedData"}));
}

TEST_F(BindingTest, HidCallsWhileUnboundFailWithoutACall) {
    const platform::THidEntries& hid = platform::HidEntries();
    fake->SetLastError(0);
    GUID guid;
    std::memset(&guid, 0xFF, sizeof(guid));
    hid.HidD_GetHidGuid(&guid);
    EXPECT_EQ(guid.Data1, 0u);
    EXPECT_EQ(guid.Data4[7], 0u);
    EXPECT_EQ(fake->GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);

    HIDD_ATTRIBUTES attributes{};
    EXPECT_FALSE(hid.HidD_GetAttributes(kDevice, &attributes));
    PHIDP_PREPARSED_DATA data = nullptr;
    EXPECT_FALSE(hid.HidD_GetPreparsedData(kDevice, &data));
    EXPECT_FALSE(hid.HidD_FreePreparsedData(kData));
    HIDP_CAPS caps{};
    EXPECT_NE(hid.HidP_GetCaps(kData, &caps), HIDP_STATUS_SUCCESS);
    ULONG count = 0;
    EXPECT_FALSE(hid.HidD_GetNumInputBuffers(kDevice, &count));
    EXPECT_FALSE(hid.HidD_SetNumInputBuffers(kDevice, 64));
    WCHAR text[254] = {};
    EXPECT_FALSE(hid.HidD_GetManufacturerString(kDevice, text, sizeof(text)));
    EXPECT_FALSE(hid.HidD_GetProductString(kDevice, text, sizeof(text)));
    EXPECT_FALSE(hid.HidD_GetSerialNumberString(kDevice, text, sizeof(text)));
    EXPECT_FALSE(hid.HidD_GetIndexedString(kDevice, 0, text, sizeof(text)));
    EXPECT_EQ(fake->GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

} // namespace
