#pragma once

#include <string>
#include <system_error>

namespace kalvo {

// Writes content to a new file beside target, flushes it to the disk and moves it over target, so
// a crash or a full disk leaves either the old file whole or the new one, never a part. A target
// that exists but may not be written is not replaced (Windows refuses that as well). False when
// the file was not replaced: no new file is left behind and the old one is untouched, and reason
// (where given) holds the system's reason.
bool ReplaceFileContent(const std::string& target, const std::string& content, std::error_code* reason = nullptr);

}  // namespace kalvo
