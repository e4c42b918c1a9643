// Colours as the window shows them: red, green and blue components.
#pragma once

#include <cstdint>

namespace app {

struct TRgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;

    friend constexpr bool operator==(const TRgb&, const TRgb&) = default;
};

inline constexpr TRgb ProgressColour{0, 128, 0};
inline constexpr TRgb ConnectedColour{0, 0, 255};
inline constexpr TRgb NotFoundColour{255, 0, 0};

} // namespace app
