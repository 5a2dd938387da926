#pragma once

#include <filesystem>
#include <string>

#include "core/Language.h"

namespace kalvo::test {

// The text that NumberedLanguage puts on language line n.
inline std::string Line(int n)
{
    return "L" + std::to_string(n);
}

// A language table whose line n reads "L<n>", so that every text shows which line it came from.
inline LanguageLines NumberedLanguage()
{
    LanguageLines language;
    for (int n = 1; n <= LanguageLines::Count; ++n)
        language[n] = Line(n);
    return language;
}

// The same table, made once for the whole test program.
inline const LanguageLines& NumberedLanguageTable()
{
    static const LanguageLines table = NumberedLanguage();
    return table;
}

// The language file delivered with the program.
inline std::string DeliveredLanguageFile()
{
    return (std::filesystem::path(KALVO_TEST_DATA).parent_path().parent_path() / "resources" / "MY.LNG").string();
}

}  // namespace kalvo::test
