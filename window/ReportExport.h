#pragma once

#include <optional>
#include <string>
#include <vector>

#include "window/MainView.h"

// The export of the report: the text the three buttons gather and hand on.
namespace kalvo {

// The boxes gathered: the report Memo1, then the error records Memo2 .. Memo9.
inline constexpr int ExportedMemoCount = 9;
// Memo10 holds the gathered export text; start-up hides it.
inline constexpr int ScratchMemo = 10;

// Rewrites Memo10 with the lines of Memo1 .. Memo9, each box followed by one empty line, and
// returns them.
std::vector<std::string> GatherExportText(MainView& view);

// The export text as the clipboard and a saved file hold it: every line ended by CR LF.
std::string ExportText(const std::vector<std::string>& lines);

// What SaveDialog1 asks, offering the file chosen at its previous use.
SaveFileQuestion ExportSaveQuestion(const std::optional<std::string>& previousChoice);

// Writes the export text exactly into the file, replacing a plain file of that name; an earlier
// file stays whole when anything fails. Throws "Cannot create file <name>".
void SaveExportText(const std::string& fileName, const std::string& exportText);

}  // namespace kalvo
