// The unit's field table: every field lies inside its block, no two share a byte, names and
// labels are unique, and a value or text written by the table reads back the same.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/FieldTable.h"

namespace kalvo {
namespace {

// The data bytes of each block.
const std::map<FieldBlock, int> BlockLength{
    {FieldBlock::Status, 51}, {FieldBlock::Timing, 38}, {FieldBlock::ErrorRecord, ErrorRecordSize}};

std::vector<UnitField> AllFields()
{
    std::vector<UnitField> fields(ReportFields.begin(), ReportFields.end());
    fields.insert(fields.end(), ErrorRecordValueFields.begin(), ErrorRecordValueFields.end());
    return fields;
}

TEST(FieldTableTest, FieldsLieInsideTheirBlockWithoutSharingAByte)
{
    std::map<FieldBlock, std::vector<std::string_view>> owner;
    for (const auto& [block, length] : BlockLength)
        owner[block].resize(static_cast<std::size_t>(length));
    owner[FieldBlock::Status][StatusFlagBytesAt] = owner[FieldBlock::Status][StatusFlagBytesAt + 1] = "flags";
    owner[FieldBlock::ErrorRecord][ErrorRecordStateAt] = "record state";
    for (const UnitField& field : AllFields()) {
        ASSERT_GT(field.width, 0) << field.key;
        ASSERT_GE(field.offset, 0) << field.key;
        ASSERT_LE(field.offset + field.width, BlockLength.at(field.block)) << field.key << " runs past its block";
        for (int at = field.offset; at < field.offset + field.width; ++at) {
            std::string_view& byte = owner[field.block][static_cast<std::size_t>(at)];
            EXPECT_TRUE(byte.empty()) << field.key << " and " << byte << " share byte " << at;
            byte = field.key;
        }
    }
}

TEST(FieldTableTest, KeysLabelsAndTextsAreUnique)
{
    std::set<std::string_view> keys;
    std::set<int> labels;
    const ReadingTextSet sample;
    std::set<const std::string*> texts;
    for (const UnitField& field : ReportFields) {
        EXPECT_TRUE(keys.insert(field.key).second) << field.key;
        EXPECT_TRUE(labels.insert(field.labelLine).second) << field.key;
        EXPECT_TRUE(texts.insert(&(sample.*field.text)).second) << field.key;
    }
    std::set<std::string_view> flagKeys;
    for (const StatusFlagBit& bit : StatusFlagBits)
        EXPECT_TRUE(flagKeys.insert(bit.key).second) << bit.key;
    std::set<std::string_view> recordKeys;
    for (const UnitField& field : ErrorRecordValueFields)
        EXPECT_TRUE(recordKeys.insert(field.key).second) << field.key;
}

TEST(FieldTableTest, AValueWrittenByTheTableReadsBack)
{
    for (const UnitField& field : AllFields()) {
        if (!IsNumeric(field))
            continue;
        Block block{};
        block.fill(0xAA);
        PutField(block, field, 1234);
        const std::optional<std::uint32_t> raw = RawFieldValue(block, field);
        EXPECT_EQ(raw, 1234u) << field.key;
        EXPECT_EQ(block[static_cast<std::size_t>(field.offset + field.width)], 0xAA)
            << field.key << " wrote past its end";
        // The largest value stays below the pattern of no value.
        PutField(block, field, 0xFFFFFFFF);
        EXPECT_TRUE(RawFieldValue(block, field).has_value()) << field.key;
        EXPECT_TRUE(FieldNumber(block, field).has_value()) << field.key;
    }
}

// The padding the unit fills its text with never shows; a text longer than the field is cut.
TEST(FieldTableTest, ATextWrittenByTheTableReadsBackCutToItsField)
{
    const UnitField& field = ReportField("status_text");
    const auto width = static_cast<std::size_t>(field.width);
    for (const std::string text : {"", "OPERATION", "SIXTEEN LETTERS.", "SEVENTEEN LETTERS"}) {
        Block block{};
        block.fill(0xAA);
        PutText(block, field, text);
        EXPECT_EQ(FieldText(block, field, LanguageLines{}), text.substr(0, width)) << text;
        EXPECT_EQ(block[static_cast<std::size_t>(field.offset) + width], 0xAA) << text << " wrote past its end";
    }
}

}  // namespace
}  // namespace kalvo
