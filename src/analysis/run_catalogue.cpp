#include "analysis/run_catalogue.h"

#include "platform/platform.h"
#include "runfiles/run_information.h"
#include "source/text_utils.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace tickscope {

std::string_view PathFileName(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

} // namespace

RunRecord CatalogueRunFile(const std::string& fileName) {
    RunRecord record;
    record.FileName = fileName;
    const std::string_view name = PathFileName(fileName);
    record.Timestamp = ParseInteger32(name.substr(0, name.find('-')));

    const RunHeader header = ReadRunHeader(fileName);
    record.Path = header.Path;
    record.LineCount = header.LineCount;
    record.SourceFileCount = header.SourceFileCount;
    record.ScopeCount = header.ScopeCount;
    return record;
}

bool BuildRunCatalogue(const std::string& homeFolder, RunCatalogue& catalogue) {
    catalogue.Records.clear();
    const std::string folder = RunFolder(homeFolder);
    const auto names = platform::ListFolder(folder, ".tkr");
    if (!names) {
        return false;
    }
    catalogue.Records.reserve(names->size());
    for (const std::string& name : *names) {
        catalogue.Records.push_back(CatalogueRunFile(folder + name));
    }
    std::stable_sort(
        catalogue.Records.begin(), catalogue.Records.end(),
        [](const RunRecord& a, const RunRecord& b) { return a.Timestamp > b.Timestamp; });
    return true;
}

std::vector<std::string> ProgramNames(const RunCatalogue& catalogue) {
    // A set of the names listed so far: a folder of many programs is not searched once
    // per run.
    std::unordered_set<std::string> listed;
    std::vector<std::string> names;
    for (const RunRecord& record : catalogue.Records) {
        std::string program = ProgramName(record);
        if (listed.insert(program).second) {
            names.push_back(std::move(program));
        }
    }
    return names;
}

std::string ProgramName(const RunRecord& record) {
    return std::string(PathFileName(record.Path));
}

std::vector<const RunRecord*> RunsOfProgram(const RunCatalogue& catalogue,
                                            const std::string& programName) {
    std::vector<const RunRecord*> runs;
    for (const RunRecord& record : catalogue.Records) {
        if (PathFileName(record.Path) == programName) {
            runs.push_back(&record);
        }
    }
    return runs;
}

std::string FormatTimestamp(std::int64_t timestamp) {
    std::int64_t days = timestamp / 86400;
    std::int64_t seconds = timestamp % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    std::int64_t year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, year, month, day);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld/%02d/%02d-%02d:%02d:%02d",
                  static_cast<long long>(year), month, day, static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

} // namespace tickscope
