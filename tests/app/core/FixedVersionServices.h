// Platform services for window tests that only answer the version query.
#pragma once

#include "platform/PlatformServices.h"

#include <memory>
#include <optional>

class TFixedVersionServices : public platform::TPlatformServices {
public:
    // No major version: the query fails.
    explicit TFixedVersionServices(std::optional<DWORD> major) : major(major) {}

    BOOL GetVersionExA(LPOSVERSIONINFOA info) override {
        if (!major || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        info->dwMajorVersion = *major;
        return TRUE;
    }

private:
    std::optional<DWORD> major;
};

// Installs services for the lifetime of a test and puts the previous ones back.
class TServicesInstallation {
public:
    explicit TServicesInstallation(std::unique_ptr<platform::TPlatformServices> services)
        : previous(platform::InstallServices(std::move(services))) {}
    ~TServicesInstallation() { platform::InstallServices(std::move(previous)); }
    TServicesInstallation(const TServicesInstallation&) = delete;
    TServicesInstallation& operator=(const TServicesInstallation&) = delete;

private:
    std::unique_ptr<platform::TPlatformServices> previous;
};
