#pragma once

// Reads CSV back the way a spreadsheet would, with libcsv in strict mode (RFC 4180 quoting), so
// the tests do not trust the recorder's own idea of its format.

#include <csv.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace kalvo::test {

using CsvTable = std::vector<std::vector<std::string>>;

inline CsvTable ParseCsv(const std::string& bytes)
{
    struct Collector {
        CsvTable rows;
        std::vector<std::string> row;
    } collected;
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0)
        throw std::runtime_error("libcsv cannot start");
    const auto onField = [](void* field, std::size_t length, void* data) {
        static_cast<Collector*>(data)->row.emplace_back(static_cast<const char*>(field), length);
    };
    const auto onRow = [](int, void* data) {
        auto* collector = static_cast<Collector*>(data);
        collector->rows.push_back(std::move(collector->row));
        collector->row.clear();
    };
    const bool parsed = csv_parse(&parser, bytes.data(), bytes.size(), onField, onRow, &collected) == bytes.size() &&
                        csv_fini(&parser, onField, onRow, &collected) == 0;
    const std::string error = parsed ? std::string() : csv_strerror(csv_error(&parser));
    csv_free(&parser);
    if (!parsed)
        throw std::runtime_error("not valid CSV: " + error);
    return collected.rows;
}

}  // namespace kalvo::test
