#include "platform/CrashHandler.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace platform {

namespace {

// Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's algorithm).
void CivilFromDays(std::int64_t days, std::int64_t* year, unsigned* month, unsigned* day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    *month = shifted < 10 ? shifted + 3 : shifted - 9;
    *year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (*month <= 2 ? 1 : 0);
}

// The stem of a report file name, or empty when `name` is not one.
std::string ReportStem(const std::string& name) {
    static const char kPrefix[] = "crash-";
    const std::size_t prefix = sizeof kPrefix - 1;
    if (name.size() < prefix + 4 || name.compare(0, prefix, kPrefix) != 0)
        return std::string();
    const std::string extension = name.substr(name.size() - 4);
    if (extension != ".txt" && extension != ".dmp")
        return std::string();
    const std::string stem = name.substr(0, name.size() - 4);
    // crash-YYYYMMDD-HHMMSS-PID
    if (stem.size() < prefix + 17 || stem[prefix + 8] != '-' || stem[prefix + 15] != '-')
        return std::string();
    for (std::size_t i = prefix; i < stem.size(); ++i) {
        if (i != prefix + 8 && i != prefix + 15 && (stem[i] < '0' || stem[i] > '9'))
            return std::string();
    }
    return stem;
}

}  // namespace

void AddReportStem(FixedText& out, std::int64_t unixSeconds, std::uint32_t pid) {
    const std::int64_t days =
        unixSeconds >= 0 ? unixSeconds / 86400 : (unixSeconds - 86399) / 86400;
    const std::int64_t secondOfDay = unixSeconds - days * 86400;
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, &year, &month, &day);
    out.Add("crash-")
        .AddPadded(static_cast<std::uint64_t>(year < 0 ? 0 : year), 4)
        .AddPadded(month, 2)
        .AddPadded(day, 2)
        .Add("-")
        .AddPadded(static_cast<std::uint64_t>(secondOfDay / 3600), 2)
        .AddPadded(static_cast<std::uint64_t>(secondOfDay / 60 % 60), 2)
        .AddPadded(static_cast<std::uint64_t>(secondOfDay % 60), 2)
        .Add("-")
        .AddDecimal(pid);
}

std::vector<std::string> ReportsBeyond(const std::vector<std::string>& names, int keep) {
    // Newest first: by the time in the stem, then by the rest of it.
    std::set<std::string> stems;
    for (const std::string& name : names) {
        const std::string stem = ReportStem(name);
        if (!stem.empty())
            stems.insert(stem);
    }
    std::vector<std::string> newestFirst(stems.rbegin(), stems.rend());
    std::set<std::string> old;
    for (std::size_t i = static_cast<std::size_t>(std::max(keep, 0)); i < newestFirst.size(); ++i)
        old.insert(newestFirst[i]);
    std::vector<std::string> remove;
    for (const std::string& name : names) {
        const std::string stem = ReportStem(name);
        if (!stem.empty() && old.count(stem) != 0)
            remove.push_back(name);
    }
    return remove;
}

}  // namespace platform
