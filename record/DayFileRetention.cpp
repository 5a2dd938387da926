#include "record/DayFileRetention.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <string_view>
#include <utility>

#include "record/CivilTime.h"
#include "record/DayFile.h"

namespace kalvo::record {

namespace {

struct DayFileKind {
    std::string_view prefix;
    std::string_view extension;
};

constexpr std::array RecordedKinds{DayFileKind{"readings-", ".csv"}, DayFileKind{"events-", ".csv"},
    DayFileKind{"replies-", ".kraw"}};
constexpr std::string_view DatePattern = "0000-00-00";

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

int Number(std::string_view digits)
{
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// Days since 1970-01-01 of "YYYY-MM-DD", which RecordedFileDate has checked.
std::int64_t DayNumber(std::string_view date)
{
    return DaysFromCivil(Number(date.substr(0, 4)), Number(date.substr(5, 2)), Number(date.substr(8, 2)));
}

bool IsDate(std::string_view text)
{
    if (text.size() != DatePattern.size() || text[4] != '-' || text[7] != '-')
        return false;
    if (!AllDigits(text.substr(0, 4)) || !AllDigits(text.substr(5, 2)) || !AllDigits(text.substr(8, 2)))
        return false;
    const int month = Number(text.substr(5, 2));
    const int day = Number(text.substr(8, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// "" or "-2", "-3", ...: the numbered files DayFiles starts beside one it may not continue.
bool IsFileNumber(std::string_view text)
{
    constexpr std::size_t MostDigits = 9;
    if (text.empty())
        return true;
    const std::string_view digits = text.substr(1);
    return text[0] == '-' && AllDigits(digits) && digits.size() <= MostDigits && digits[0] != '0'
        && Number(digits) >= 2;
}

struct DayFile {
    std::filesystem::path path;
    std::uint64_t size;
};

}  // namespace

std::optional<std::string> RecordedFileDate(const std::string& fileName)
{
    const std::string_view name = fileName;
    for (const DayFileKind& kind : RecordedKinds) {
        if (!name.starts_with(kind.prefix) || !name.ends_with(kind.extension))
            continue;
        std::string_view middle = name.substr(kind.prefix.size());
        middle.remove_suffix(kind.extension.size());
        if (IsDate(middle.substr(0, DatePattern.size())) && middle.size() >= DatePattern.size()
            && IsFileNumber(middle.substr(DatePattern.size())))
            return std::string(middle.substr(0, DatePattern.size()));
    }
    return std::nullopt;
}

RetentionOutcome RemoveExpiredDayFiles(
    const std::filesystem::path& folder, const std::string& today, const RetentionLimits& limits)
{
    std::map<std::string, std::vector<DayFile>> days;  // oldest first
    std::uint64_t total = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::optional<std::string> date = RecordedFileDate(PathText(entry.path().filename()));
        std::error_code statError;
        if (!date || entry.is_symlink(statError) || !entry.is_regular_file(statError))
            continue;
        const std::uint64_t size = entry.file_size(statError);
        days[*date].push_back({entry.path(), statError ? 0 : size});
        total += statError ? 0 : size;
    }
    RetentionOutcome outcome;
    if (error) {
        outcome.problems.push_back("cannot list " + PathText(folder) + ": " + error.message());
        return outcome;
    }
    const std::int64_t todayNumber = DayNumber(today);
    const auto removeDay = [&](const std::vector<DayFile>& files) {
        for (const DayFile& file : files) {
            std::error_code removeError;
            if (std::filesystem::remove(file.path, removeError)) {
                outcome.removed.push_back(file.path);
                total -= file.size;
            } else if (removeError) {
                outcome.problems.push_back("cannot remove " + PathText(file.path) + ": " + removeError.message());
            }
        }
    };
    for (const auto& [date, files] : days) {
        const std::int64_t age = todayNumber - DayNumber(date);
        const bool tooOld = limits.days && age >= *limits.days;
        const bool overBudget = limits.bytes && total > *limits.bytes;
        if (age <= 0 || !(tooOld || overBudget))
            break;
        removeDay(files);
    }
    return outcome;
}

RetentionSink::RetentionSink(std::filesystem::path folder, RetentionLimits limits, Report report)
    : folder_(std::move(folder)), limits_(limits), report_(std::move(report))
{
}

void RetentionSink::OnPoll(const PollInput& raw, const DecodedPoll&)
{
    const std::string date = DateText(raw.time);
    if (date == date_)
        return;
    date_ = date;
    const RetentionOutcome outcome = RemoveExpiredDayFiles(folder_, date, limits_);
    for (const std::filesystem::path& removed : outcome.removed)
        report_("removed " + PathText(removed.filename()) + " (beyond what --keep allows)");
    for (const std::string& problem : outcome.problems)
        report_(problem);
}

}  // namespace kalvo::record
