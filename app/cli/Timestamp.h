// Timestamps for the watch command's lines.
#pragma once

#include <chrono>
#include <string>

namespace cli {

// Local time of day, "HH:MM:SS.mmm".
std::string LocalTimeOfDay(std::chrono::system_clock::time_point time);
// UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ".
std::string UtcIsoTime(std::chrono::system_clock::time_point time);

} // namespace cli
