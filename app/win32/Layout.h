// The window's layout in design pixels (a 96-DPI screen), the control identifiers, and the
// scaling of design pixels to a window's DPI.
#pragma once

#include "platform/PlatformTypes.h"

namespace app::win32 {

inline constexpr UINT DesignDpi = 96;

// Control identifiers; 1 and 2 stay free for the dialog keys Enter and Esc.
enum TControlId : int {
    DevListBoxId = 101,
    HistoryListBoxId,
    StatusLabelId,
    ProgStatusBarId,
    ConnectBallImageId,
    Green_ImageId,
    Gray_ImageId,
    ExitButtonId,
    InProgButtonId,
};

struct TDesignRect {
    int Left;
    int Top;
    int Width;
    int Height;
};

// Child controls at fixed places in the client area. The status label sizes itself to its
// text from here; the status bar runs along the bottom edge.
inline constexpr TDesignRect DevListBoxRect{65, 77, 320, 12};
inline constexpr TDesignRect HistoryListBoxRect{9, 56, 648, 17};
inline constexpr TDesignRect StatusLabelRect{53, 18, 0, 0};
inline constexpr TDesignRect ConnectBallImageRect{15, 10, 32, 32};
inline constexpr TDesignRect Green_ImageRect{419, 11, 32, 32};
inline constexpr TDesignRect Gray_ImageRect{453, 11, 32, 32};
inline constexpr TDesignRect ExitButtonRect{557, 17, 89, 25};
inline constexpr TDesignRect InProgButtonRect{460, 17, 90, 25};
// A longer status line wraps before the buttons.
inline constexpr int StatusLabelMaxWidth = InProgButtonRect.Left - 7 - StatusLabelRect.Left;

inline constexpr int ListItemHeight = 16;
inline constexpr int StatusBarHeight = 22;
inline constexpr int TimePanelWidth = 50;
inline constexpr int StatusPanelWidth = 400;
inline constexpr int FontPixelHeight = 13;

// The layout's outer sizes are those of a classic frame: 4 pixels of border on each side and
// a 26-pixel caption. The client area is the outer size less that frame; the system's real
// frame is then added around it.
inline constexpr int NominalFrameWidth = 8;
inline constexpr int NominalFrameHeight = 34;

inline int Scaled(int designPixels, UINT dpi) {
    return ::MulDiv(designPixels, static_cast<int>(dpi), static_cast<int>(DesignDpi));
}

} // namespace app::win32
