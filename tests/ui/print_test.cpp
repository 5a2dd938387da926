#include <gtest/gtest.h>

#include <QDate>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QLocale>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTime>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "KalvoError.h"
#include "ReportPrinter.h"
#include "TempDir.h"

namespace {

constexpr int ToolPatienceMs = 60000;

// Runs a poppler tool on the file and returns what it wrote.
QString RunTool(const QString& tool, QStringList arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(ToolPatienceMs) || process.exitCode() != 0) {
        ADD_FAILURE() << tool.toStdString() << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The printed lines that hold any text, as laid out on paper, page after page.
QStringList PrintedLines(const QString& pdf)
{
    QStringList lines =
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).split(u'\n');
    lines.removeIf([](const QString& line) { return line.trimmed().isEmpty(); });
    return lines;
}

int PageCount(const QString& pdf)
{
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption);
    return pages.match(RunTool(QStringLiteral("pdfinfo"), {pdf})).captured(1).toInt();
}

// The left edge, in points, of the first printed word that reads exactly so; -1 when none does.
double LeftEdgeOfWord(const QString& pdf, const QString& text)
{
    const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    const QString boxes = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    for (const QRegularExpressionMatch& match : word.globalMatch(boxes)) {
        if (match.captured(2) == text)
            return match.captured(1).toDouble();
    }
    return -1;
}

class PrintTest : public ::testing::Test {
protected:
    // Prints the export lines into a PDF on A4 with margins of LeftMargin points, and returns its path.
    QString PrintToPdf(const std::vector<std::string>& exportLines)
    {
        const QString path = QString::fromStdString(dir.file("report.pdf"));
        QPdfWriter pdf(path);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(LeftMargin, LeftMargin, LeftMargin, LeftMargin), QPageLayout::Point);
        kalvo::PrintLines(pdf, kalvo::PrintedReportLines(exportLines, moment));
        return path;
    }

    // The width of the eight blanks before each printed line, in points.
    static double IndentWidth()
    {
        QPdfWriter measure(QString{});
        const QFontMetricsF metrics(kalvo::PrinterFont(), &measure);
        return metrics.horizontalAdvance(QStringLiteral("        ")) * 72.0 / measure.resolution();
    }

    static constexpr double LeftMargin = 36;
    static constexpr double Tolerance = 0.5;

    kalvo::test::TempDir dir;
    const QDateTime moment{QDate(2024, 3, 9), QTime(7, 5, 3)};
};

TEST_F(PrintTest, HeaderUsesTheSystemsRegionalFormatsNotTheProgramsNumberLocale)
{
    const QLocale before;
    // Start-up fixes the program's default locale; the header must not follow it.
    const QLocale other(QLocale::system().language() == QLocale::German ? QLocale::French : QLocale::German);
    QLocale::setDefault(other);
    const QString header = kalvo::PrintHeader(moment);
    QLocale::setDefault(before);

    const QLocale regional = QLocale::system();
    const QString dateAndBlanks =
        QStringLiteral("        Ombrel Kalvo ") + regional.toString(moment.date(), QLocale::ShortFormat) + QStringLiteral("  ");
    EXPECT_TRUE(header.startsWith(dateAndBlanks)) << header.toStdString();
    EXPECT_TRUE(header.contains(QStringLiteral("05:03"))) << "the long time format shows seconds";
    EXPECT_FALSE(header.endsWith(QLatin1Char(' ')));
    const QString zone = moment.timeZoneAbbreviation();
    if (!zone.isEmpty()) {
        EXPECT_FALSE(header.endsWith(zone)) << "the time of day, not its zone: " << header.toStdString();
    }
}

TEST_F(PrintTest, NineEmptyBoxesPrintTheHeaderAndNineIndentedEmptyLines)
{
    const QStringList lines = kalvo::PrintedReportLines(std::vector<std::string>(9, ""), moment);

    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0], kalvo::PrintHeader(moment));
    EXPECT_EQ(lines[1], QString());
    for (int i = 2; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], QStringLiteral("        ")) << i;
}

TEST_F(PrintTest, PrintedPageShowsTheHeaderThenTheIndentedReport)
{
    const QString pdf = PrintToPdf({"Flame current 12 uA", "", "Error 1 \xB5" "A \x80"});
    const QStringList printed = PrintedLines(pdf);

    ASSERT_EQ(printed.size(), 3) << printed.join(u'\n').toStdString();
    EXPECT_TRUE(printed[0].trimmed().startsWith(QStringLiteral("Ombrel Kalvo "))) << printed[0].toStdString();
    EXPECT_EQ(printed[1].trimmed(), QStringLiteral("Flame current 12 uA"));
    EXPECT_EQ(printed[2].trimmed(), QStringLiteral("Error 1 \u00B5A \u20AC"));
    // The header and every report line start eight blanks in from the left edge of the printable area.
    for (const QString& firstWord : {QStringLiteral("Ombrel"), QStringLiteral("Flame"), QStringLiteral("Error")})
        EXPECT_NEAR(LeftEdgeOfWord(pdf, firstWord), LeftMargin + IndentWidth(), Tolerance) << firstWord.toStdString();
}

TEST_F(PrintTest, LineTooWideForThePageContinuesOnTheNextPrintedLines)
{
    std::string digits;
    for (int i = 0; i < 40; ++i)
        digits += "0123456789";

    const QString pdf = PrintToPdf({"before", digits, "after"});
    const QStringList printed = PrintedLines(pdf);

    // Header, "before", the digits on several printed lines, "after".
    ASSERT_GE(printed.size(), 5) << printed.join(u'\n').toStdString();
    EXPECT_EQ(printed[1].trimmed(), QStringLiteral("before"));
    EXPECT_EQ(printed.last().trimmed(), QStringLiteral("after"));
    const QStringList pieces = printed.mid(2, printed.size() - 3);
    EXPECT_EQ(pieces.join(QString()).remove(u' '), QString::fromStdString(digits)) << "no character lost or added";
    // The first piece keeps the indent; a continuation starts at the left edge.
    EXPECT_NEAR(LeftEdgeOfWord(pdf, pieces[0].trimmed()), LeftMargin + IndentWidth(), Tolerance);
    EXPECT_NEAR(LeftEdgeOfWord(pdf, pieces[1].trimmed()), LeftMargin, Tolerance);
}

TEST_F(PrintTest, LongReportContinuesOnFurtherPagesInOrder)
{
    std::vector<std::string> report;
    for (int n = 1; n <= 150; ++n)
        report.push_back("Report line " + std::to_string(n));

    const QString pdf = PrintToPdf(report);

    const int pages = PageCount(pdf);
    ASSERT_GE(pages, 2);
    QStringList printed = PrintedLines(pdf);
    ASSERT_EQ(printed.size(), 151);
    printed.removeFirst();  // the header
    for (int n = 1; n <= 150; ++n)
        EXPECT_EQ(printed[n - 1].trimmed(), QStringLiteral("Report line %1").arg(n));
}

// A page ends once the next line would start within two line heights of its bottom, yet always
// takes at least one line.
TEST_F(PrintTest, NewPageBeginsTwoLineHeightsAboveTheBottom)
{
    const struct {
        double pageHeightInLines;
        int lines;
        int pages;
    } cases[] = {
        {6.5, 10, 2},  // five lines a page: the sixth would start 1.5 line heights above the bottom
        {6.5, 11, 3},
        {1.5, 3, 3},   // not even two line heights: one line a page
    };
    for (const auto& c : cases) {
        const QString path = QString::fromStdString(dir.file("pages.pdf"));
        {
            QPdfWriter pdf(path);
            const double lineHeight = QFontMetricsF(kalvo::PrinterFont(), &pdf).lineSpacing() * 72.0 / pdf.resolution();
            pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
            pdf.setPageSize(QPageSize(QSizeF(300, c.pageHeightInLines * lineHeight), QPageSize::Point, QString(),
                                      QPageSize::ExactMatch));
            kalvo::PrintLines(pdf, QStringList(c.lines, QStringLiteral("line")));
        }
        EXPECT_EQ(PageCount(path), c.pages) << c.pageHeightInLines << " line heights, " << c.lines << " lines";
    }
}

// A PDF writer that, when the job reaches its second page, asks for another job, as a click
// handled while a page spools would.
class InterruptedPdfWriter : public QPdfWriter {
public:
    InterruptedPdfWriter(const QString& path, std::function<void()> atNewPage)
        : QPdfWriter(path), atNewPage_(std::move(atNewPage))
    {
    }

    bool newPage() override
    {
        if (atNewPage_)
            std::exchange(atNewPage_, nullptr)();
        return QPdfWriter::newPage();
    }

private:
    std::function<void()> atNewPage_;
};

TEST_F(PrintTest, SecondJobWhileOneIsOpenIsRefusedAndTheFirstFinishes)
{
    QStringList lines;
    for (int n = 1; n <= 150; ++n)
        lines.append(QStringLiteral("Line %1").arg(n));
    const QString first = QString::fromStdString(dir.file("first.pdf"));
    const QString second = QString::fromStdString(dir.file("second.pdf"));
    std::string refusal;
    {
        InterruptedPdfWriter pdf(first, [&] {
            QPdfWriter other(second);
            try {
                kalvo::PrintLines(other, {QStringLiteral("second job")});
            } catch (const kalvo::KalvoError& error) {
                refusal = error.what();
            }
        });
        kalvo::PrintLines(pdf, lines);
    }

    EXPECT_EQ(refusal, "Printing in progress");
    EXPECT_EQ(PrintedLines(first).size(), 150);
    // Once the first job has ended, printing works again.
    QPdfWriter later(second);
    EXPECT_NO_THROW(kalvo::PrintLines(later, {QStringLiteral("later job")}));
}

}  // namespace
