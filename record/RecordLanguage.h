#pragma once

#include <filesystem>
#include <optional>
#include <utility>

#include "core/Language.h"
#include "record/NightTexts.h"

namespace kalvo::record {

// The language a recording writes in: the window's language file (state names, value labels) and
// the recorder's own words in the same language.
struct RecordLanguage {
    // words: as loaded from a words file; all empty for English.
    explicit RecordLanguage(LanguageLines languageLines, const RecordWordsLines& words = {})
        : lines(std::move(languageLines)),
          texts(lines, words)
    {
    }

    LanguageLines lines;
    NightTexts texts;
};

// Where the words of the language file languageFile (holding language) lie, without reading its
// wording: the words file beside it (beside the file a link names), else that of the delivered
// language in languagesFolder (lang/<code>/ with MY.LNG and the words file) whose language file the
// one in use is a copy of, more than half its lines the same, so a reworded label keeps it; none
// for English or a language without words of its own.
std::optional<std::filesystem::path> FindRecordWords(const std::filesystem::path& languageFile,
    const LanguageLines& language, const std::filesystem::path& languagesFolder);

// The language with the words FindRecordWords finds, English without. Throws KalvoError, naming
// the words file, when it is there but cannot be read.
RecordLanguage LoadRecordLanguage(const std::filesystem::path& languageFile, const LanguageLines& language,
    const std::filesystem::path& languagesFolder);

}  // namespace kalvo::record
