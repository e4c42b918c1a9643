// A stand-in for the HID class library that has every export the binding looks up but
// one. Its functions are never meant to be called; each fails as an unsupported call.
#include "platform/HidExports.h"
#include "platform/PlatformTypes.h"

// Defined under another name, so this library does not export it.
#define HidD_Hello Withheld_HidD_Hello

#define VUZ_LACKING_EXPORT(Name, Copies)                                                           \
    extern "C" __declspec(dllexport) BOOL WINAPI Name() {                                          \
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);                                                \
        return FALSE;                                                                              \
    }

VUZ_HID_FUNCTIONS(VUZ_LACKING_EXPORT)
