#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tickscope {

// Which time statistic of a line the report shows: the total, the average per hit, or the
// sum over threads and instructions of the longest or the shortest execution.
enum class TimeMode { All, Avg, Max, Min };

inline constexpr std::array<TimeMode, 4> kTimeModes = {TimeMode::All, TimeMode::Avg, TimeMode::Max,
                                                       TimeMode::Min};

// "all", "avg", "max", "min": the names the window's mode list and the report tool use.
constexpr std::string_view TimeModeName(TimeMode mode) {
    switch (mode) {
    case TimeMode::Avg:
        return "avg";
    case TimeMode::Max:
        return "max";
    case TimeMode::Min:
        return "min";
    case TimeMode::All:
        break;
    }
    return "all";
}

constexpr std::optional<TimeMode> TimeModeNamed(std::string_view name) {
    for (const TimeMode mode : kTimeModes) {
        if (TimeModeName(mode) == name) {
            return mode;
        }
    }
    return std::nullopt;
}

} // namespace tickscope
