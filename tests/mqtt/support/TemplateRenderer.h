#pragma once

#include <string>
#include <vector>

namespace kalvo::test {

// Each template rendered by Jinja against each payload, as Home Assistant renders an MQTT entity's
// value template (render_templates.py): rendered[template][payload].
std::vector<std::vector<std::string>> Rendered(
    const std::vector<std::string>& templates, const std::vector<std::string>& payloads);

}  // namespace kalvo::test
