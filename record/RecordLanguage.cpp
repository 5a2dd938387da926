#include "record/RecordLanguage.h"

#include <algorithm>
#include <vector>

#include "core/KalvoError.h"
#include "record/DayFile.h"

namespace kalvo::record {

namespace {

constexpr char LanguageFileName[] = "MY.LNG";

// The lines that the delivered file has and the one in use repeats, and how many the delivered
// file has; empty lines say nothing.
struct LinesInCommon {
    int same = 0;
    int given = 0;
};

LinesInCommon Compare(const LanguageLines& inUse, const LanguageLines& delivered)
{
    LinesInCommon common;
    for (int line = 1; line <= LanguageLines::Count; ++line) {
        if (delivered[line].empty())
            continue;
        ++common.given;
        common.same += inUse[line] == delivered[line];
    }
    return common;
}

// The delivered languages, lang/<code>/, in a fixed order.
std::vector<std::filesystem::path> LanguageFolders(const std::filesystem::path& languagesFolder)
{
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(languagesFolder, error))
        if (entry.is_directory(error))
            folders.push_back(entry.path());
    std::ranges::sort(folders);
    return folders;
}

std::optional<std::filesystem::path> CopiedLanguageWords(
    const LanguageLines& language, const std::filesystem::path& languagesFolder)
{
    std::optional<std::filesystem::path> best;
    int bestSame = 0;
    for (const std::filesystem::path& folder : LanguageFolders(languagesFolder)) {
        std::error_code error;
        if (!std::filesystem::exists(folder / RecordWordsFileName, error))
            continue;
        LanguageLines delivered;
        try {
            LoadLanguage(PathText(folder / LanguageFileName), delivered);
        } catch (const KalvoError&) {
            continue;  // a language without its language file is no language to copy
        }
        const LinesInCommon common = Compare(language, delivered);
        if (common.same * 2 > common.given && common.same > bestSame) {
            best = folder / RecordWordsFileName;
            bestSame = common.same;
        }
    }
    return best;
}

}  // namespace

std::optional<std::filesystem::path> FindRecordWords(const std::filesystem::path& languageFile,
    const LanguageLines& language, const std::filesystem::path& languagesFolder)
{
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(languageFile, error);
    if (error)
        real = languageFile;
    const std::filesystem::path beside = real.parent_path() / RecordWordsFileName;
    if (std::filesystem::exists(beside, error))
        return beside;
    return CopiedLanguageWords(language, languagesFolder);
}

RecordLanguage LoadRecordLanguage(const std::filesystem::path& languageFile, const LanguageLines& language,
    const std::filesystem::path& languagesFolder)
{
    RecordWordsLines words;
    if (const std::optional<std::filesystem::path> file = FindRecordWords(languageFile, language, languagesFolder)) {
        try {
            LoadLanguageLines(PathText(*file), words);
        } catch (const KalvoError& error) {
            throw KalvoError(std::string(error.what()) + " (" + PathText(*file) + ")");
        }
    }
    return RecordLanguage(language, words);
}

}  // namespace kalvo::record
