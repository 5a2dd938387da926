// Any bytes as the settings file. Reading the two keys never fails; writing them back stores what
// was written and keeps every other line of the file, in its order.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "core/Settings.h"
#include "fuzz/FuzzSupport.h"

namespace {

using kalvo::fuzz::Require;

const std::string Section = "Main";
const std::string PortKey = "COM";
const std::string PanelKey = "Panel";

// The file's lines, each ended by a carriage return, a line feed, or the two together.
std::vector<std::string> Lines(std::string_view content)
{
    std::vector<std::string> lines;
    while (!content.empty()) {
        const std::size_t end = content.find_first_of("\r\n");
        lines.emplace_back(content.substr(0, end));
        if (end == std::string_view::npos)
            break;
        content.remove_prefix(end + (content.substr(end).starts_with("\r\n") ? 2 : 1));
    }
    return lines;
}

// A key line of the original whose value the writer replaced: the same text up to its "=", and
// the new value after it.
bool IsRewrittenKeyLine(const std::string& before, const std::string& after, const std::string& value)
{
    const std::size_t equals = before.find('=');
    return equals != std::string::npos && after.compare(0, equals + 1, before, 0, equals + 1) == 0
           && after.ends_with(value);
}

// Every line of the original is in the new file, in order; the only differences are the two key
// lines with their new values and the lines the writer adds (the section header and the keys).
bool OtherLinesSurvive(const std::vector<std::string>& before, const std::vector<std::string>& after,
                       int port, int panel)
{
    const std::string portLine = PortKey + "=" + std::to_string(port);
    const std::string panelLine = PanelKey + "=" + std::to_string(panel);
    const auto isAddedLine = [&](const std::string& line) {
        return line == "[" + Section + "]" || line == portLine || line == panelLine;
    };
    int rewritten = 0;
    int added = 0;
    std::size_t next = 0;
    for (const std::string& line : before) {
        for (;;) {
            if (next == after.size())
                return false;
            const std::string& candidate = after[next++];
            if (candidate == line)
                break;
            if (IsRewrittenKeyLine(line, candidate, std::to_string(port))
                || IsRewrittenKeyLine(line, candidate, std::to_string(panel))) {
                ++rewritten;
                break;
            }
            if (!isAddedLine(candidate))
                return false;
            ++added;
        }
    }
    for (; next < after.size(); ++next, ++added)
        if (!isAddedLine(after[next]))
            return false;
    return rewritten <= 2 && added <= 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kalvo::fuzz::ScratchFolder folder;
    const std::string path = folder.File("Kalvo.ini");

    FuzzedDataProvider provider(data, size);
    const int port = provider.ConsumeIntegral<int>();
    const int panel = provider.ConsumeIntegralInRange(1, 2);
    const std::string original = provider.ConsumeRemainingBytesAsString();
    kalvo::fuzz::WriteWholeFile(path, original);

    try {
        kalvo::ReadIniInteger(path, Section, PortKey, -1);
        kalvo::ReadIniInteger(path, Section, PanelKey, 1);
        kalvo::WriteIniInteger(path, Section, PortKey, port);
        kalvo::WriteIniInteger(path, Section, PanelKey, panel);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        Require(false, "a readable, writable settings file is read and written without an error");
    }
    Require(kalvo::ReadIniInteger(path, Section, PortKey, -1) == port, "the port number reads back");
    Require(kalvo::ReadIniInteger(path, Section, PanelKey, 1) == panel, "the page number reads back");
    Require(OtherLinesSurvive(Lines(original), Lines(kalvo::fuzz::ReadWholeFile(path)), port, panel),
            "every other line of the file is kept, in its order");
    return 0;
}
