// What Windows shows of each program in the zip: the name in Task Manager and in the file's
// properties (the version resource), the company, and an icon in Explorer.
// clang-format off
#include <windows.h>
#include <shellapi.h> // needs windows.h first
// clang-format on

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct TProgram {
    const char* Name;
    const wchar_t* Path;
    const wchar_t* FileDescription;
};

void PrintTo(const TProgram& program, std::ostream* out) {
    *out << program.Name;
}

std::wstring VersionString(const wchar_t* path, const wchar_t* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) {
        return L"<no version information>";
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) {
        return L"<unreadable version information>";
    }
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), key.c_str(), &value, &length) || length == 0) {
        return L"<no " + std::wstring(name) + L">";
    }
    return static_cast<const wchar_t*>(value);
}

class ProgramResources : public testing::TestWithParam<TProgram> {};

TEST_P(ProgramResources, NameTheProductShortlyAndCarryTheIcon) {
    const TProgram& program = GetParam();
    EXPECT_EQ(VersionString(program.Path, L"FileDescription"), program.FileDescription);
    EXPECT_EQ(VersionString(program.Path, L"CompanyName"), L"ZEM");
    EXPECT_EQ(VersionString(program.Path, L"ProductName"), L"ZEM VUZ Utility");
    EXPECT_EQ(VersionString(program.Path, L"ProductVersion"), L"1.0.0");
    EXPECT_GE(ExtractIconExW(program.Path, -1, nullptr, nullptr, 0), 1u);
}

// The pictures of every icon in a program file, in resource order.
std::string IconBytes(const wchar_t* path) {
    const HMODULE module =
        LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        return {};
    }
    std::string bytes;
    EnumResourceNamesW(
        module, MAKEINTRESOURCEW(3), // RT_ICON
        [](HMODULE from, LPCWSTR type, LPWSTR name, LONG_PTR out) -> BOOL {
            const HRSRC found = FindResourceW(from, name, type);
            const HGLOBAL loaded = found != nullptr ? LoadResource(from, found) : nullptr;
            const auto* data = static_cast<const char*>(LockResource(loaded));
            if (data != nullptr) {
                reinterpret_cast<std::string*>(out)->append(data, SizeofResource(from, found));
            }
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&bytes));
    FreeLibrary(module);
    return bytes;
}

// A user who starts the wrong program sees it in Explorer and on the taskbar.
TEST(ProgramIcons, DemoHasItsOwnIcon) {
    const std::string utility = IconBytes(VUZ_UTILITY_EXE);
    const std::string demo = IconBytes(VUZ_DEMO_EXE);
    ASSERT_FALSE(utility.empty());
    ASSERT_FALSE(demo.empty());
    EXPECT_NE(utility, demo);
    EXPECT_EQ(IconBytes(VUZ_CLI_EXE), utility);
}

INSTANTIATE_TEST_SUITE_P(
    Zip, ProgramResources,
    testing::Values(TProgram{"Utility", VUZ_UTILITY_EXE, L"ZEM VUZ Utility"},
                    TProgram{"Demo", VUZ_DEMO_EXE, L"ZEM VUZ Utility demo (simulated adapter)"},
                    TProgram{"CommandLine", VUZ_CLI_EXE, L"ZEM VUZ Utility command line"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
