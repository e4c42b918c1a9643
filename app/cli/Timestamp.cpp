#include "app/cli/Timestamp.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace cli {

namespace {

struct TSplit {
    std::tm calendar{};
    int milliseconds = 0;
};

TSplit Split(std::chrono::system_clock::time_point time, bool local) {
    const auto sinceEpoch = time.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    TSplit split;
    split.milliseconds = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count());
    const std::time_t whole = static_cast<std::time_t>(seconds.count());
#ifdef _WIN32
    if (local) {
        localtime_s(&split.calendar, &whole);
    } else {
        gmtime_s(&split.calendar, &whole);
    }
#else
    if (local) {
        localtime_r(&whole, &split.calendar);
    } else {
        gmtime_r(&whole, &split.calendar);
    }
#endif
    return split;
}

} // namespace

std::string LocalTimeOfDay(std::chrono::system_clock::time_point time) {
    const TSplit split = Split(time, true);
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%02d:%02d:%02d.%03d", split.calendar.tm_hour,
                  split.calendar.tm_min, split.calendar.tm_sec, split.milliseconds);
    return text.data();
}

std::string UtcIsoTime(std::chrono::system_clock::time_point time) {
    const TSplit split = Split(time, false);
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ",
                  split.calendar.tm_year + 1900, split.calendar.tm_mon + 1, split.calendar.tm_mday,
                  split.calendar.tm_hour, split.calendar.tm_min, split.calendar.tm_sec,
                  split.milliseconds);
    return text.data();
}

} // namespace cli
