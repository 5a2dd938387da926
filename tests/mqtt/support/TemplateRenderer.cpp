#include "tests/mqtt/support/TemplateRenderer.h"

#include <nlohmann/json.hpp>

#include <fstream>

#include "testing/TempDir.h"
#include "tests/mqtt/support/MosquittoBroker.h"

namespace kalvo::test {

std::vector<std::vector<std::string>> Rendered(
    const std::vector<std::string>& templates, const std::vector<std::string>& payloads)
{
    const TempDir folder;
    WriteFileBytes(folder.file("job.json"), nlohmann::json{{"templates", templates}, {"payloads", payloads}}.dump());
    RunProgram({"python3", KALVO_TEMPLATE_RENDERER, folder.file("job.json"), folder.file("result.json")});
    std::ifstream result(folder.file("result.json"));
    return nlohmann::json::parse(result).get<std::vector<std::vector<std::string>>>();
}

}  // namespace kalvo::test
