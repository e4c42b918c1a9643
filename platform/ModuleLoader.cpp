#include "platform/ModuleLoader.h"

#include "platform/PlatformServices.h"

namespace platform {

bool BindLibrary(LibraryHandle& handle, const char* fileName) {
    if (handle == nullptr) {
        handle = Services().LoadLibraryA(fileName);
    }
    return handle != nullptr;
}

void ReleaseLibrary(LibraryHandle& handle) {
    if (handle != nullptr) {
        // A failure to give the library up leaves nothing to do: the handle is spent.
        static_cast<void>(Services().FreeLibrary(handle));
    }
    handle = nullptr;
}

FARPROC FindLibrarySymbol(LibraryHandle handle, const char* exportName) {
    if (handle == nullptr) {
        return nullptr;
    }
    return Services().GetProcAddress(handle, exportName);
}

FARPROC FindRequiredSymbol(LibraryHandle handle, const char* exportName, bool& found) {
    const FARPROC address = FindLibrarySymbol(handle, exportName);
    found = found && address != nullptr;
    return address;
}

} // namespace platform
