// A platform whose only services are library loading: modules with export tables, counted.
#pragma once

#include "platform/Hid.h"
#include "platform/ModuleLoader.h"
#include "platform/PlatformServices.h"
#include "platform/SetupApi.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace bindingtest {

class TFakeLibraryServices : public platform::TPlatformServices {
public:
    // Offers a module whose every export has an address of its own (never to be called).
    void AddModule(const std::string& fileName, std::span<const char* const> exports) {
        auto module = std::make_unique<TModule>();
        const std::uintptr_t base = 0x100000 * (modules_.size() + 1);
        for (std::size_t i = 0; i < exports.size(); ++i) {
            module->Exports[exports[i]] = reinterpret_cast<FARPROC>(base + 16 * (i + 1));
        }
        modules_[Key(fileName)] = std::move(module);
    }
    void RemoveModule(const std::string& fileName) { modules_.erase(Key(fileName)); }
    void RemoveExport(const std::string& fileName, const std::string& exportName) {
        modules_.at(Key(fileName))->Exports.erase(exportName);
    }
    void SetExport(const std::string& fileName, const std::string& exportName, FARPROC address) {
        modules_.at(Key(fileName))->Exports[exportName] = address;
    }
    FARPROC AddressOf(const std::string& fileName, const std::string& exportName) const {
        const auto& exports = modules_.at(Key(fileName))->Exports;
        const auto found = exports.find(exportName);
        return found == exports.end() ? nullptr : found->second;
    }
    HMODULE HandleOf(const std::string& fileName) const {
        return reinterpret_cast<HMODULE>(modules_.at(Key(fileName)).get());
    }
    // References the program holds on the module.
    int References(const std::string& fileName) const {
        return modules_.at(Key(fileName))->References;
    }

    int LoadCalls = 0;
    int FreeCalls = 0;
    int LookUpCalls = 0;
    std::map<std::string, int> LookUpsOf;
    std::vector<std::string> LookUpOrder;
    // Look-ups and releases through a handle that holds no reference: always a fault.
    int StaleCalls = 0;

    HMODULE LoadLibraryA(LPCSTR fileName) override {
        ++LoadCalls;
        const auto found = modules_.find(Key(fileName));
        if (found == modules_.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        ++found->second->References;
        return reinterpret_cast<HMODULE>(found->second.get());
    }

    FARPROC GetProcAddress(HMODULE module, LPCSTR procName) override {
        ++LookUpCalls;
        ++LookUpsOf[procName];
        LookUpOrder.emplace_back(procName);
        TModule* held = Held(module);
        if (held == nullptr) {
            return nullptr;
        }
        const auto found = held->Exports.find(procName);
        if (found == held->Exports.end()) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        return found->second;
    }

    BOOL FreeLibrary(HMODULE module) override {
        ++FreeCalls;
        TModule* held = Held(module);
        if (held == nullptr) {
            return FALSE;
        }
        --held->References;
        return TRUE;
    }

private:
    struct TModule {
        std::map<std::string, FARPROC> Exports;
        int References = 0;
    };

    // Module file names compare without regard to case, as the platform's do.
    static std::string Key(std::string name) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return name;
    }

    TModule* Held(HMODULE module) {
        for (auto& [name, candidate] : modules_) {
            if (reinterpret_cast<HMODULE>(candidate.get()) == module && candidate->References > 0) {
                return candidate.get();
            }
        }
        ++StaleCalls;
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }

    std::map<std::string, std::unique_ptr<TModule>> modules_;
};

// Installs a fake for the lifetime of the object and puts the previous services back after.
class TInstalledFake {
public:
    TInstalledFake() {
        auto fake = std::make_unique<TFakeLibraryServices>();
        fake_ = fake.get();
        previous_ = platform::InstallServices(std::move(fake));
    }
    TInstalledFake(const TInstalledFake&) = delete;
    TInstalledFake& operator=(const TInstalledFake&) = delete;
    ~TInstalledFake() { platform::InstallServices(std::move(previous_)); }

    TFakeLibraryServices& operator*() const { return *fake_; }
    TFakeLibraryServices* operator->() const { return fake_; }

private:
    TFakeLibraryServices* fake_ = nullptr;
    std::unique_ptr<platform::TPlatformServices> previous_;
};

// Both libraries present with every export; leaves both bindings released behind it.
class BindingTest : public testing::Test {
protected:
    BindingTest() {
        fake->AddModule("SetupApi.dll", platform::SetupApiExportNames());
        fake->AddModule("HID.dll", platform::HidExportNames());
    }
    ~BindingTest() override {
        while (platform::SetupApiBindCount() > 0) {
            platform::ReleaseSetupApi();
        }
        platform::ReleaseHid();
    }
    void SetUp() override {
        ASSERT_EQ(platform::SetupApiBindCount(), 0);
        ASSERT_EQ(platform::SetupApiLibrary(), nullptr);
        ASSERT_FALSE(platform::HidBound());
    }
    void TearDown() override { EXPECT_EQ(fake->StaleCalls, 0); }

    TInstalledFake fake;
};

} // namespace bindingtest
