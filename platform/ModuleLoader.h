// Loads a library by file name, gives it up and finds its exports by name. Keeps no state of
// its own: any thread may use it with a handle of its own.
#pragma once

#include "platform/PlatformTypes.h"

namespace platform {

// The platform's module handle of a loaded library; null means that no library is held.
using LibraryHandle = HMODULE;

// Conversions between an export's untyped address and its function type. They go through
// void (*)(), which matches every function type, so the compiler does not warn.
template <typename Function> FARPROC ToFarProc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}
template <typename Function> Function FromFarProc(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// Makes sure that a library is held in handle: loads fileName when handle is null. A handle
// that already holds one is left as it is (no further reference is taken). True when a
// library is held afterwards.
bool BindLibrary(LibraryHandle& handle, const char* fileName);

// Gives up the library in handle, if any; the handle is null afterwards in every case.
void ReleaseLibrary(LibraryHandle& handle);

// The address of an export, or null when it is missing or no library is held.
FARPROC FindLibrarySymbol(LibraryHandle handle, const char* exportName);

// As FindLibrarySymbol; also clears found when the export is missing. found is never set
// back to true, so a run of look-ups that starts with it true ends true only if all succeed.
FARPROC FindRequiredSymbol(LibraryHandle handle, const char* exportName, bool& found);

// Holds a library for one scope.
class TScopedLibrary {
public:
    explicit TScopedLibrary(const char* fileName) { BindLibrary(handle_, fileName); }
    TScopedLibrary(const TScopedLibrary&) = delete;
    TScopedLibrary& operator=(const TScopedLibrary&) = delete;
    ~TScopedLibrary() { ReleaseLibrary(handle_); }

    LibraryHandle Handle() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    FARPROC Find(const char* exportName) const { return FindLibrarySymbol(handle_, exportName); }

private:
    LibraryHandle handle_ = nullptr;
};

} // namespace platform
