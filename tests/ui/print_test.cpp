#include <gtest/gtest.h>

#include <QDate>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QLocale>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTime>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testing/ProgramState.h"
#include "testing/TempDir.h"
#include "ui/qt/QtMainWindow.h"
#include "ui/qt/QtMemo.h"
#include "ui/qt/QtPrinter.h"

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
    // Prints the window's export with these report lines (the error boxes empty) into a PDF on A4
    // with margins of LeftMargin points, and returns its path.
    QString PrintToPdf(const std::vector<std::string>& reportLines)
    {
        const QString path = QString::fromStdString(dir.file("report.pdf"));
        const kalvo::test::ProgramStateGuard state;
        QtMainWindow frame(kalvo::ProgramFiles{dir.file("MY.LNG"), dir.file("kalvo.ini")});
        frame.Timer1->stop();
        std::vector<std::string> errors;
        frame.SetErrorBox([&errors](const std::string& text) { errors.push_back(text); });
        frame.SetPrintDeviceSource([&path](const std::string&) {
            auto pdf = std::make_unique<QPdfWriter>(path);
            pdf->setPageSize(QPageSize(QPageSize::A4));
            pdf->setPageMargins(QMarginsF(LeftMargin, LeftMargin, LeftMargin, LeftMargin), QPageLayout::Point);
            return PrintDevice{kalvo::PrintJobStatus::Opened, std::move(pdf)};
        });
        frame.MainFrm().ClearReadings();
        frame.Memo1->SetLines(reportLines);
        frame.BitBtn2->click();
        EXPECT_TRUE(errors.empty()) << errors.front();
        return path;
    }

    // The width of the eight blanks before each printed line, in points.
    static double IndentWidth()
    {
        QPdfWriter measure(QString{});
        const QFontMetricsF metrics(PrinterFont(), &measure);
        return metrics.horizontalAdvance(QStringLiteral("        ")) * 72.0 / measure.resolution();
    }

    static constexpr double LeftMargin = 36;
    static constexpr double Tolerance = 0.5;

    kalvo::test::TempDir dir;
};

TEST(QtRegionalDateTime, UsesTheSystemsRegionalFormatsNotTheProgramsNumberLocale)
{
    const QDateTime moment{QDate(2024, 3, 9), QTime(7, 5, 3)};
    const QLocale before;
    const QLocale other(QLocale::system().language() == QLocale::German ? QLocale::French : QLocale::German);
    QLocale::setDefault(other);
    const kalvo::RegionalDateTime shown = QtRegionalDateTime(moment);
    QLocale::setDefault(before);

    const QLocale regional = QLocale::system();
    EXPECT_EQ(shown.shortDate, regional.toString(moment.date(), QLocale::ShortFormat).toStdString());
    EXPECT_NE(shown.longTime.find("05:03"), std::string::npos) << "the long time format shows seconds";
    EXPECT_NE(shown.longTime.back(), ' ');
    const std::string zone = moment.timeZoneAbbreviation().toStdString();
    if (!zone.empty()) {
        EXPECT_EQ(shown.longTime.find(zone), std::string::npos) << "the time of day, not its zone: " << shown.longTime;
    }
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
}  // namespace
