#pragma once

#include <string>

namespace kalvo {

enum class FileReplaceResult { Replaced, NotCreated, NotWritten };

// Writes content to a new file beside target, flushes it to the disk and moves it over target, so
// a crash or a full disk leaves either the old file whole or the new one, never a part. A target
// that exists but may not be written is not replaced (Windows refuses that as well). NotCreated:
// the new file could not be made; NotWritten: writing, flushing or moving it failed, and it is gone.
FileReplaceResult ReplaceFileContent(const std::string& target, const std::string& content);

}  // namespace kalvo
