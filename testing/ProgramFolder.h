#pragma once

#include <string>

#include "core/Settings.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"
#include "window/uMainFrm.h"

namespace kalvo::test {

// A program folder of its own for a window under test: the language file and the settings file
// the window reads at start-up and writes at shutdown.
class ProgramFolder {
public:
    // MY.LNG with line n reading "L<n>" (see Line).
    void WriteNumberedLanguageFile() const
    {
        std::string text;
        for (int n = 1; n <= LanguageLines::Count; ++n)
            text += Line(n) + "\r\n";
        WriteFileBytes(files.languageFile, text);
    }

    // A settings file holding section "Main" with these lines.
    void WriteSettings(const std::string& mainSection) const
    {
        WriteFileBytes(files.settingsFile, "[Main]\r\n" + mainSection);
    }

    // A key of section "Main" as stored; -999 when it is not there.
    int StoredSetting(const std::string& key) const { return ReadIniInteger(files.settingsFile, "Main", key, -999); }

    TempDir dir;
    ProgramFiles files{dir.file("MY.LNG"), dir.file("kalvo.ini")};
};

}  // namespace kalvo::test
