// DPI-aware system queries that exist only on newer Windows (10, version 1607 on), looked
// up at run time so that the program still starts on older systems, which get the classic
// answers at the screen's DPI.
#pragma once

#include "platform/PlatformTypes.h"

namespace app::win32 {

UINT WindowDpi(HWND window);
// The window rectangle around the given client rectangle, with the real frame at dpi.
RECT OuterRectForClient(RECT client, DWORD style, DWORD exStyle, UINT dpi);
// The system's dialog (message box) font face.
LOGFONTW SystemDialogFont(UINT dpi);

} // namespace app::win32
