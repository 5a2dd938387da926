#include <gtest/gtest.h>

#include <QSet>
#include <QString>

#include <string>
#include <vector>

#include "ui/qt/QtMemo.h"
#include "ui/qt/TextCodec.h"

namespace {

std::string AllBytes()
{
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte)
        bytes.push_back(static_cast<char>(byte));
    return bytes;
}

TEST(TextCodec, EveryByteSurvivesTheRoundTrip)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        const QString shown = kalvo::AnsiToQString(one);
        ASSERT_EQ(shown.size(), 1) << "byte " << byte;
        EXPECT_EQ(kalvo::QStringToAnsi(shown), one) << "byte " << byte;
    }
    EXPECT_EQ(kalvo::QStringToAnsi(kalvo::AnsiToQString(AllBytes())), AllBytes());
}

TEST(TextCodec, DistinctBytesShowAsDistinctCharacters)
{
    QSet<char16_t> shown;
    for (QChar character : kalvo::AnsiToQString(AllBytes()))
        shown.insert(character.unicode());
    EXPECT_EQ(shown.size(), 256);
}

TEST(TextCodec, BytesShowAsTheirWindows1252Characters)
{
    const struct {
        unsigned char byte;
        char16_t character;
    } cases[] = {
        {0x00, u'\0'},     {0x41, u'A'},      {0x7F, u'\u007F'}, {0x80, u'\u20AC'}, {0x81, u'\u0081'},
        {0x8A, u'\u0160'}, {0x8D, u'\u008D'}, {0x8F, u'\u008F'}, {0x90, u'\u0090'}, {0x96, u'\u2013'},
        {0x9D, u'\u009D'}, {0x9F, u'\u0178'}, {0xA0, u'\u00A0'}, {0xB5, u'\u00B5'}, {0xFF, u'\u00FF'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kalvo::AnsiToQString(std::string(1, static_cast<char>(c.byte))), QString(QChar(c.character)))
            << "byte " << int(c.byte);
}

TEST(TextCodec, CharactersOutsideWindows1252BecomeQuestionMarks)
{
    const struct {
        QString typed;
        std::string stored;
    } cases[] = {
        {QString(QChar(u'\u0100')), "?"},                                  // Latin Extended-A, not in 1252
        {QString(QChar(u'\u0080')), "?"},                                  // a C1 control that 1252 redefines
        {QString(QChar(u'\u009F')), "?"},
        {QString::fromUtf8("\xE4\xB8\xAD"), "?"},                          // CJK
        {QString::fromUtf8("\xF0\x9F\x98\x80"), "?"},                      // outside the BMP: one '?', not two
        {QString(QChar(u'\xD800')), "?"},                                  // a lone surrogate
        {QString::fromUtf8("a\xE2\x82\xAC\xC4\x80z"), std::string("a\x80?z")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kalvo::QStringToAnsi(c.typed), c.stored) << c.typed.toStdString();
}

TEST(Memo, GivesBackExactlyTheLinesAdded)
{
    QtMemo memo(QStringLiteral("Memo1"), nullptr);
    EXPECT_TRUE(memo.Lines().empty());

    // NUL and the no-break space are the bytes a plain-text view would lose or change.
    const std::vector<std::string> lines = {std::string("a\0b", 3), "", "x\xA0y", "", AllBytes(), "  padded  "};
    for (const std::string& line : lines)
        memo.AddLine(line);
    EXPECT_EQ(memo.Lines(), lines);
}

TEST(Memo, LineBreakBytesInsideALineStayInThatLine)
{
    QtMemo memo(QStringLiteral("Memo1"), nullptr);
    const std::vector<std::string> lines = {"one\ntwo", "cr\rlf\r\n", "\n"};
    for (const std::string& line : lines)
        memo.AddLine(line);
    EXPECT_EQ(memo.document()->blockCount(), 4);  // three lines and the empty text after the last break
    EXPECT_EQ(memo.Lines(), lines);
}

TEST(Memo, EmptyLinesAreLinesOfTheirOwn)
{
    QtMemo memo(QStringLiteral("Memo1"), nullptr);
    memo.AddLine("");
    EXPECT_EQ(memo.Lines(), std::vector<std::string>{""});
    memo.AddLine("");
    memo.AddLine("after");
    EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"", "", "after"}));
    memo.SetLines({"x", ""});
    EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"x", ""}));
    memo.SetLines({});
    EXPECT_TRUE(memo.Lines().empty());
}

TEST(Memo, TypedTextIsKeptAndEncoded)
{
    QtMemo memo(QStringLiteral("Memo1"), nullptr);
    memo.AddLine("first");
    memo.moveCursor(QTextCursor::End);
    memo.insertPlainText(QString::fromUtf8("typed \xE2\x82\xAC \xC4\x80"));
    EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"first", "typed \x80 ?"}));

    // A line added after typed text that has no line break of its own starts a new line.
    memo.AddLine("next");
    EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"first", "typed \x80 ?", "next"}));
}

}  // namespace
