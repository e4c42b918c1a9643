// The exports of the device-setup library "SetupApi.dll" that the setup binding looks up,
// in table order, and the table of entries made from them.
#pragma once

#include "platform/ExportTable.h"

#include <cstddef>
#include <span>

// VUZ_SETUPAPI_FUNCTIONS(WITH_FORMS, WITHOUT_FORMS) calls WITH_FORMS(Name, Copies) for a
// function offered in an ANSI and a wide form (exports Name##A and Name##W; entries ANSI, wide
// and generic) and WITHOUT_FORMS(Name, Copies) for one export Name with one entry. Copies is 2
// for the device-interface functions whose every entry the table holds twice.
// Use Name only with # or ##: on Windows some generic names are macros.
#define VUZ_SETUPAPI_FUNCTIONS(WITH_FORMS, WITHOUT_FORMS)                                          \
    WITH_FORMS(SetupGetInfInformation, 1)                                                          \
    WITH_FORMS(SetupQueryInfFileInformation, 1)                                                    \
    WITH_FORMS(SetupQueryInfVersionInformation, 1)                                                 \
    WITH_FORMS(SetupGetInfFileList, 1)                                                             \
    WITH_FORMS(SetupOpenInfFile, 1)                                                                \
    WITH_FORMS(SetupOpenAppendInfFile, 1)                                                          \
    WITH_FORMS(SetupFindFirstLine, 1)                                                              \
    WITH_FORMS(SetupFindNextMatchLine, 1)                                                          \
    WITH_FORMS(SetupGetLineByIndex, 1)                                                             \
    WITH_FORMS(SetupGetLineCount, 1)                                                               \
    WITH_FORMS(SetupGetLineText, 1)                                                                \
    WITH_FORMS(SetupGetStringField, 1)                                                             \
    WITH_FORMS(SetupGetMultiSzField, 1)                                                            \
    WITH_FORMS(SetupGetFileCompressionInfo, 1)                                                     \
    WITH_FORMS(SetupDecompressOrCopyFile, 1)                                                       \
    WITH_FORMS(SetupGetSourceFileLocation, 1)                                                      \
    WITH_FORMS(SetupGetSourceFileSize, 1)                                                          \
    WITH_FORMS(SetupGetTargetPath, 1)                                                              \
    WITH_FORMS(SetupSetSourceList, 1)                                                              \
    WITH_FORMS(SetupAddToSourceList, 1)                                                            \
    WITH_FORMS(SetupRemoveFromSourceList, 1)                                                       \
    WITH_FORMS(SetupQuerySourceList, 1)                                                            \
    WITH_FORMS(SetupFreeSourceList, 1)                                                             \
    WITH_FORMS(SetupPromptForDisk, 1)                                                              \
    WITH_FORMS(SetupCopyError, 1)                                                                  \
    WITH_FORMS(SetupRenameError, 1)                                                                \
    WITH_FORMS(SetupDeleteError, 1)                                                                \
    WITH_FORMS(SetupSetDirectoryId, 1)                                                             \
    WITH_FORMS(SetupSetDirectoryIdEx, 1)                                                           \
    WITH_FORMS(SetupGetSourceInfo, 1)                                                              \
    WITH_FORMS(SetupInstallFile, 1)                                                                \
    WITH_FORMS(SetupInstallFileEx, 1)                                                              \
    WITH_FORMS(SetupSetPlatformPathOverride, 1)                                                    \
    WITH_FORMS(SetupQueueCopy, 1)                                                                  \
    WITH_FORMS(SetupQueueDefaultCopy, 1)                                                           \
    WITH_FORMS(SetupQueueCopySection, 1)                                                           \
    WITH_FORMS(SetupQueueDelete, 1)                                                                \
    WITH_FORMS(SetupQueueDeleteSection, 1)                                                         \
    WITH_FORMS(SetupQueueRename, 1)                                                                \
    WITH_FORMS(SetupQueueRenameSection, 1)                                                         \
    WITH_FORMS(SetupCommitFileQueue, 1)                                                            \
    WITH_FORMS(SetupScanFileQueue, 1)                                                              \
    WITH_FORMS(SetupCopyOEMInf, 1)                                                                 \
    WITH_FORMS(SetupCreateDiskSpaceList, 1)                                                        \
    WITH_FORMS(SetupDuplicateDiskSpaceList, 1)                                                     \
    WITH_FORMS(SetupQueryDrivesInDiskSpaceList, 1)                                                 \
    WITH_FORMS(SetupQuerySpaceRequiredOnDrive, 1)                                                  \
    WITH_FORMS(SetupAdjustDiskSpaceList, 1)                                                        \
    WITH_FORMS(SetupAddToDiskSpaceList, 1)                                                         \
    WITH_FORMS(SetupAddSectionToDiskSpaceList, 1)                                                  \
    WITH_FORMS(SetupAddInstallSectionToDiskSpaceList, 1)                                           \
    WITH_FORMS(SetupRemoveFromDiskSpaceList, 1)                                                    \
    WITH_FORMS(SetupRemoveSectionFromDiskSpaceList, 1)                                             \
    WITH_FORMS(SetupRemoveInstallSectionFromDiskSpaceList, 1)                                      \
    WITH_FORMS(SetupIterateCabinet, 1)                                                             \
    WITH_FORMS(SetupDefaultQueueCallback, 1)                                                       \
    WITH_FORMS(SetupInstallFromInfSection, 1)                                                      \
    WITH_FORMS(SetupInstallFilesFromInfSection, 1)                                                 \
    WITH_FORMS(SetupInstallServicesFromInfSection, 1)                                              \
    WITH_FORMS(SetupInstallServicesFromInfSectionEx, 1)                                            \
    WITH_FORMS(SetupInitializeFileLog, 1)                                                          \
    WITH_FORMS(SetupLogFile, 1)                                                                    \
    WITH_FORMS(SetupRemoveFileLogEntry, 1)                                                         \
    WITH_FORMS(SetupQueryFileLog, 1)                                                               \
    WITH_FORMS(SetupLogError, 1)                                                                   \
    WITH_FORMS(SetupDiCreateDeviceInfoListEx, 1)                                                   \
    WITH_FORMS(SetupDiGetDeviceInfoListDetail, 1)                                                  \
    WITH_FORMS(SetupDiCreateDeviceInfo, 1)                                                         \
    WITH_FORMS(SetupDiOpenDeviceInfo, 1)                                                           \
    WITH_FORMS(SetupDiGetDeviceInstanceId, 1)                                                      \
    WITH_FORMS(SetupDiCreateDeviceInterface, 2)                                                    \
    WITH_FORMS(SetupDiOpenDeviceInterface, 2)                                                      \
    WITH_FORMS(SetupDiGetDeviceInterfaceDetail, 2)                                                 \
    WITH_FORMS(SetupDiEnumDriverInfo, 1)                                                           \
    WITH_FORMS(SetupDiGetSelectedDriver, 1)                                                        \
    WITH_FORMS(SetupDiSetSelectedDriver, 1)                                                        \
    WITH_FORMS(SetupDiGetDriverInfoDetail, 1)                                                      \
    WITH_FORMS(SetupDiGetClassDevs, 1)                                                             \
    WITH_FORMS(SetupDiGetClassDevsEx, 1)                                                           \
    WITH_FORMS(SetupDiGetINFClass, 1)                                                              \
    WITH_FORMS(SetupDiBuildClassInfoListEx, 1)                                                     \
    WITH_FORMS(SetupDiGetClassDescription, 1)                                                      \
    WITH_FORMS(SetupDiGetClassDescriptionEx, 1)                                                    \
    WITH_FORMS(SetupDiInstallClass, 1)                                                             \
    WITH_FORMS(SetupDiInstallClassEx, 1)                                                           \
    WITH_FORMS(SetupDiOpenClassRegKeyEx, 1)                                                        \
    WITH_FORMS(SetupDiCreateDeviceInterfaceRegKey, 2)                                              \
    WITH_FORMS(SetupDiCreateDevRegKey, 1)                                                          \
    WITH_FORMS(SetupDiGetHwProfileListEx, 1)                                                       \
    WITH_FORMS(SetupDiGetDeviceRegistryProperty, 1)                                                \
    WITH_FORMS(SetupDiSetDeviceRegistryProperty, 1)                                                \
    WITH_FORMS(SetupDiGetDeviceInstallParams, 1)                                                   \
    WITH_FORMS(SetupDiGetClassInstallParams, 1)                                                    \
    WITH_FORMS(SetupDiSetDeviceInstallParams, 1)                                                   \
    WITH_FORMS(SetupDiSetClassInstallParams, 1)                                                    \
    WITH_FORMS(SetupDiGetDriverInstallParams, 1)                                                   \
    WITH_FORMS(SetupDiSetDriverInstallParams, 1)                                                   \
    WITH_FORMS(SetupDiGetClassImageListEx, 1)                                                      \
    WITH_FORMS(SetupDiGetClassDevPropertySheets, 1)                                                \
    WITH_FORMS(SetupDiClassNameFromGuid, 1)                                                        \
    WITH_FORMS(SetupDiClassNameFromGuidEx, 1)                                                      \
    WITH_FORMS(SetupDiClassGuidsFromName, 1)                                                       \
    WITH_FORMS(SetupDiClassGuidsFromNameEx, 1)                                                     \
    WITH_FORMS(SetupDiGetHwProfileFriendlyName, 1)                                                 \
    WITH_FORMS(SetupDiGetHwProfileFriendlyNameEx, 1)                                               \
    WITH_FORMS(SetupDiGetActualSectionToInstall, 1)                                                \
    WITHOUT_FORMS(SetupOpenMasterInf, 1)                                                           \
    WITHOUT_FORMS(SetupCloseInfFile, 1)                                                            \
    WITHOUT_FORMS(SetupFindNextLine, 1)                                                            \
    WITHOUT_FORMS(SetupGetFieldCount, 1)                                                           \
    WITHOUT_FORMS(SetupGetIntField, 1)                                                             \
    WITHOUT_FORMS(SetupGetBinaryField, 1)                                                          \
    WITHOUT_FORMS(SetupCancelTemporarySourceList, 1)                                               \
    WITHOUT_FORMS(SetupOpenFileQueue, 1)                                                           \
    WITHOUT_FORMS(SetupCloseFileQueue, 1)                                                          \
    WITHOUT_FORMS(SetupDestroyDiskSpaceList, 1)                                                    \
    WITHOUT_FORMS(SetupPromptReboot, 1)                                                            \
    WITHOUT_FORMS(SetupInitDefaultQueueCallback, 1)                                                \
    WITHOUT_FORMS(SetupInitDefaultQueueCallbackEx, 1)                                              \
    WITHOUT_FORMS(SetupTermDefaultQueueCallback, 1)                                                \
    WITHOUT_FORMS(SetupTerminateFileLog, 1)                                                        \
    WITHOUT_FORMS(SetupOpenLog, 1)                                                                 \
    WITHOUT_FORMS(SetupCloseLog, 1)                                                                \
    WITHOUT_FORMS(SetupDiCreateDeviceInfoList, 1)                                                  \
    WITHOUT_FORMS(SetupDiGetDeviceInfoListClass, 1)                                                \
    WITHOUT_FORMS(SetupDiDeleteDeviceInfo, 1)                                                      \
    WITHOUT_FORMS(SetupDiEnumDeviceInfo, 1)                                                        \
    WITHOUT_FORMS(SetupDiDestroyDeviceInfoList, 1)                                                 \
    WITHOUT_FORMS(SetupDiEnumDeviceInterfaces, 2)                                                  \
    WITHOUT_FORMS(SetupDiGetDeviceInterfaceAlias, 2)                                               \
    WITHOUT_FORMS(SetupDiDeleteDeviceInterfaceData, 2)                                             \
    WITHOUT_FORMS(SetupDiRemoveDeviceInterface, 2)                                                 \
    WITHOUT_FORMS(SetupDiInstallDeviceInterfaces, 2)                                               \
    WITHOUT_FORMS(SetupDiRegisterDeviceInfo, 1)                                                    \
    WITHOUT_FORMS(SetupDiBuildDriverInfoList, 1)                                                   \
    WITHOUT_FORMS(SetupDiCancelDriverInfoSearch, 1)                                                \
    WITHOUT_FORMS(SetupDiDestroyDriverInfoList, 1)                                                 \
    WITHOUT_FORMS(SetupDiBuildClassInfoList, 1)                                                    \
    WITHOUT_FORMS(SetupDiCallClassInstaller, 1)                                                    \
    WITHOUT_FORMS(SetupDiSelectDevice, 1)                                                          \
    WITHOUT_FORMS(SetupDiSelectBestCompatDrv, 1)                                                   \
    WITHOUT_FORMS(SetupDiInstallDevice, 1)                                                         \
    WITHOUT_FORMS(SetupDiInstallDriverFiles, 1)                                                    \
    WITHOUT_FORMS(SetupDiRegisterCoDeviceInstallers, 1)                                            \
    WITHOUT_FORMS(SetupDiRemoveDevice, 1)                                                          \
    WITHOUT_FORMS(SetupDiUnremoveDevice, 1)                                                        \
    WITHOUT_FORMS(SetupDiMoveDuplicateDevice, 1)                                                   \
    WITHOUT_FORMS(SetupDiChangeState, 1)                                                           \
    WITHOUT_FORMS(SetupDiOpenClassRegKey, 1)                                                       \
    WITHOUT_FORMS(SetupDiOpenDeviceInterfaceRegKey, 2)                                             \
    WITHOUT_FORMS(SetupDiDeleteDeviceInterfaceRegKey, 2)                                           \
    WITHOUT_FORMS(SetupDiOpenDevRegKey, 1)                                                         \
    WITHOUT_FORMS(SetupDiDeleteDevRegKey, 1)                                                       \
    WITHOUT_FORMS(SetupDiGetHwProfileList, 1)                                                      \
    WITHOUT_FORMS(SetupDiLoadClassIcon, 1)                                                         \
    WITHOUT_FORMS(SetupDiDrawMiniIcon, 1)                                                          \
    WITHOUT_FORMS(SetupDiGetClassBitmapIndex, 1)                                                   \
    WITHOUT_FORMS(SetupDiGetClassImageList, 1)                                                     \
    WITHOUT_FORMS(SetupDiGetClassImageIndex, 1)                                                    \
    WITHOUT_FORMS(SetupDiDestroyClassImageList, 1)                                                 \
    WITHOUT_FORMS(SetupDiAskForOEMDisk, 1)                                                         \
    WITHOUT_FORMS(SetupDiSelectOEMDrv, 1)                                                          \
    WITHOUT_FORMS(SetupDiGetWizardPage, 1)                                                         \
    WITHOUT_FORMS(SetupDiGetSelectedDevice, 1)                                                     \
    WITHOUT_FORMS(SetupDiSetSelectedDevice, 1)

namespace platform {

inline constexpr TExportFunction kSetupApiFunctions[] = {
    VUZ_SETUPAPI_FUNCTIONS(VUZ_DETAIL_FORMS_FUNCTION, VUZ_DETAIL_PLAIN_FUNCTION)};

// Every distinct export once, in the order of first use.
inline constexpr const char* kSetupApiExportNames[] = {
    VUZ_SETUPAPI_FUNCTIONS(VUZ_DETAIL_FORMS_EXPORTS, VUZ_DETAIL_PLAIN_EXPORTS)};

// Every entry in table order.
inline constexpr TEntryName kSetupApiEntryNames[] = {
    VUZ_SETUPAPI_FUNCTIONS(VUZ_DETAIL_FORMS_ENTRIES, VUZ_DETAIL_PLAIN_ENTRIES)};

inline constexpr std::size_t SetupApiExportCount = std::size(kSetupApiExportNames);
inline constexpr std::size_t SetupApiEntryCount = std::size(kSetupApiEntryNames);
static_assert(SetupApiExportCount == 271);
static_assert(SetupApiEntryCount == 396);

constexpr std::span<const TExportFunction> SetupApiFunctions() {
    return kSetupApiFunctions;
}
constexpr std::span<const char* const> SetupApiExportNames() {
    return kSetupApiExportNames;
}
constexpr std::span<const TEntryName> SetupApiEntryNames() {
    return kSetupApiEntryNames;
}

// Position of an entry in the table (see FindEntry); fails to compile for an unknown name.
consteval std::size_t SetupApiEntryIndex(std::string_view entry, std::size_t occurrence = 0) {
    const std::size_t index = FindEntry(kSetupApiEntryNames, entry, occurrence);
    if (index == SetupApiEntryCount) {
        throw "no such setup entry";
    }
    return index;
}

} // namespace platform
