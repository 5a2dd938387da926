#include "core/KalvoError.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kalvo {
namespace {

struct BoxTextCase {
    std::string message;
    std::string shown;
};

// Names the case in test listings.
void PrintTo(const BoxTextCase& c, std::ostream* os)
{
    *os << '"' << c.message << '"';
}

class ErrorBoxTexts : public ::testing::TestWithParam<BoxTextCase> {};

TEST_P(ErrorBoxTexts, AppendDotAfterCharactersAboveIt)
{
    EXPECT_EQ(ErrorBoxText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ErrorBoxTexts,
    ::testing::Values(BoxTextCase{"File not found", "File not found."},
                      BoxTextCase{"Done.", "Done."},
                      BoxTextCase{"Why?", "Why?."},          // '?' sorts after '.'
                      BoxTextCase{"a!", "a!"},               // '!' sorts before '.'
                      BoxTextCase{"ends-", "ends-"},         // '-' sorts just before '.'
                      BoxTextCase{"I/O error 5", "I/O error 5."},
                      BoxTextCase{"path/", "path/."},        // '/' sorts just after '.'
                      BoxTextCase{"caf\xE9", "caf\xE9."},    // bytes above 0x7F count unsigned
                      BoxTextCase{"", ""}));

}  // namespace
}  // namespace kalvo
