#include "core/Readings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "testing/BlockFixtures.h"
#include "testing/LanguageFixtures.h"

using namespace kalvo;
using kalvo::test::Line;

namespace {

const LanguageLines& Numbered = kalvo::test::NumberedLanguageTable();

using kalvo::test::FilledBlock;

using TextField = std::string ReadingTextSet::*;
const std::vector<TextField> Durations{
    &ReadingTextSet::DurationText1,  &ReadingTextSet::DurationText2,  &ReadingTextSet::DurationText3,
    &ReadingTextSet::DurationText4,  &ReadingTextSet::DurationText5,  &ReadingTextSet::DurationText6,
    &ReadingTextSet::DurationText7,  &ReadingTextSet::DurationText8,  &ReadingTextSet::DurationText9,
    &ReadingTextSet::DurationText10, &ReadingTextSet::DurationText11, &ReadingTextSet::DurationText12,
    &ReadingTextSet::DurationText13, &ReadingTextSet::DurationText14, &ReadingTextSet::DurationText15,
    &ReadingTextSet::DurationText16};
const std::vector<TextField> StatusNumbers{
    &ReadingTextSet::Int24Text1, &ReadingTextSet::Int24Text2, &ReadingTextSet::Int24Text3,
    &ReadingTextSet::Int16Text1, &ReadingTextSet::Int16Text2, &ReadingTextSet::Int16Text3,
    &ReadingTextSet::Int16Text4, &ReadingTextSet::Int16Text5};
const std::vector<TextField> Currents{&ReadingTextSet::CurrentText1, &ReadingTextSet::FlameCurrentText,
                                      &ReadingTextSet::CurrentText3, &ReadingTextSet::AlarmCurrentText};

}  // namespace

TEST(Readings, ZeroBlocksAsLeftByAMissingReply)
{
    const DecodedReadings r = DecodeReadings(FilledBlock(0), FilledBlock(0), Numbered);
    EXPECT_EQ(r.texts.StatusStringText, std::string(16, '\0'));
    for (TextField field : StatusNumbers)
        EXPECT_EQ(r.texts.*field, "0");
    for (TextField field : Currents)
        EXPECT_EQ(r.texts.*field, "0 uA");
    EXPECT_EQ(r.texts.MainsVoltageText, "0");
    EXPECT_EQ(r.texts.StateText, Line(12));
    EXPECT_EQ(r.flags, StatusFlagSet{});
    EXPECT_EQ(r.texts.OnOffText, "0");
    EXPECT_EQ(r.texts.AlarmFlagText, "0");
    for (TextField field : Durations)
        EXPECT_EQ(r.texts.*field, "-");
    EXPECT_EQ(r.texts.HoursMinutesText, "0:00 L35");
    EXPECT_EQ(r.texts.TimingInt16Text, "0");
}

TEST(Readings, AllFFBlocksCarryNoValues)
{
    const DecodedReadings r = DecodeReadings(FilledBlock(0xFF), FilledBlock(0xFF), Numbered);
    EXPECT_EQ(r.texts.StatusStringText, std::string(16, '\xFF'));
    std::vector<TextField> noValue = StatusNumbers;
    noValue.insert(noValue.end(), Currents.begin(), Currents.end());
    noValue.insert(noValue.end(), Durations.begin(), Durations.end());
    noValue.insert(noValue.end(), {&ReadingTextSet::MainsVoltageText, &ReadingTextSet::StateText,
                                   &ReadingTextSet::HoursMinutesText, &ReadingTextSet::TimingInt16Text});
    for (TextField field : noValue)
        EXPECT_EQ(r.texts.*field, "-");
    StatusFlagSet allSet;
    allSet.fill(true);
    EXPECT_EQ(r.flags, allSet);
    EXPECT_EQ(r.texts.OnOffText, "1");
    EXPECT_EQ(r.texts.AlarmFlagText, "1");
}

TEST(Readings, EachFieldComesFromItsOwnBytes)
{
    Block status = FilledBlock(0), timing = FilledBlock(0);
    // Each status pair holds its own offset as value, so a field read from the wrong place shows.
    const std::vector<int> statusPairAt{27, 29, 31, 33, 41, 43, 45, 47, 49};
    for (int at : statusPairAt)
        status[at + 1] = static_cast<std::uint8_t>(at);
    status[18] = 0x01, status[23] = 0x02, status[25] = 0x01;
    status[35] = 0x09, status[36] = 0x0B;
    status[40] = 5;
    const std::vector<int> durationAt{0, 2, 4, 6, 8, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 34};
    for (std::size_t i = 0; i < durationAt.size(); ++i)
        timing[durationAt[i] + 1] = static_cast<std::uint8_t>(10 * (i + 1));
    timing[11] = 0x7D;
    timing[36] = 0x01, timing[37] = 0x02;

    const DecodedReadings r = DecodeReadings(status, timing, Numbered);
    const std::vector<std::pair<TextField, std::string>> expected{
        {&ReadingTextSet::Int24Text1, "65536"},       {&ReadingTextSet::Int24Text2, "2"},
        {&ReadingTextSet::Int24Text3, "256"},         {&ReadingTextSet::CurrentText1, "2.7 uA"},
        {&ReadingTextSet::FlameCurrentText, "2.9 uA"}, {&ReadingTextSet::CurrentText3, "3.1 uA"},
        {&ReadingTextSet::AlarmCurrentText, "3.3 uA"}, {&ReadingTextSet::MainsVoltageText, "232"},
        {&ReadingTextSet::StateText, Line(17)},       {&ReadingTextSet::Int16Text1, "41"},
        {&ReadingTextSet::Int16Text2, "43"},          {&ReadingTextSet::Int16Text3, "45"},
        {&ReadingTextSet::Int16Text4, "47"},          {&ReadingTextSet::Int16Text5, "49"},
        {&ReadingTextSet::HoursMinutesText, "2:05 L35"}, {&ReadingTextSet::TimingInt16Text, "258"}};
    for (const auto& [field, text] : expected)
        EXPECT_EQ(r.texts.*field, text);
    for (std::size_t i = 0; i < Durations.size(); ++i)
        EXPECT_EQ(r.texts.*Durations[i], std::to_string(i + 1) + " L29");
}

TEST(Readings, MainsVoltageRoundsHalfToEven)
{
    Block status = FilledBlock(0);
    for (const auto& [low, volts] : std::vector<std::pair<std::uint8_t, std::string>>{
             {0x00, "230"}, {0x01, "230"}, {0x02, "231"}, {0x0B, "232"}}) {
        status[35] = 0x09, status[36] = low;  // 2304, 2305, 2306, 2315 tenths
        EXPECT_EQ(DecodeReadings(status, FilledBlock(0), Numbered).texts.MainsVoltageText, volts);
    }
}

TEST(Readings, StatusStringDropsOnly0x80)
{
    const auto decode = [](const std::string& bytes) {
        Block status = FilledBlock(0);
        std::copy(bytes.begin(), bytes.end(), status.begin() + 2);
        return DecodeReadings(status, FilledBlock(0), Numbered).texts.StatusStringText;
    };
    EXPECT_EQ(decode("BURNERCONTROL\x80\x80\x80"), "BURNERCONTROL");
    EXPECT_EQ(decode("AB\x80\x80" "CD\x80" "EFGHIJKLM"), "ABCDEFGHIJKLM");
    EXPECT_EQ(decode(std::string("\xFF\x00\x7F\x81-", 5)), std::string("\xFF\x00\x7F\x81-", 5) + std::string(11, '\0'));
}

TEST(Readings, EachFlagHasItsOwnBit)
{
    struct FlagCase {
        std::uint8_t first, second;
        std::vector<int> setFlags;
    };
    const std::vector<FlagCase> cases{
        {0x80, 0, {0}}, {0x40, 0, {1}},    {0x10, 0, {2}},    {0x20, 0, {3}}, {0x08, 0, {4}},
        {0x04, 0, {5}}, {0x02, 0, {6}},    {0x01, 0, {7}},    {0, 0x80, {8}}, {0, 0x40, {9}},
        {0, 0x3F, {}},  {0x81, 0, {0, 7}}, {0xFF, 0xFF, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}};
    for (const FlagCase& c : cases) {
        DecodedReadings r;
        r.flags.fill(true);  // left over from an earlier poll
        DecodeStatusFlags(c.first, c.second, r);
        StatusFlagSet expected{};
        for (int flag : c.setFlags)
            expected[flag] = true;
        EXPECT_EQ(r.flags, expected) << std::hex << int(c.first) << " " << int(c.second);
        EXPECT_EQ(r.texts.AlarmFlagText, expected[0] ? "1" : "0");
        EXPECT_EQ(r.texts.OnOffText, expected[7] ? "1" : "0");
    }
}
