// Report printing read back with pdftotext: where every row lands, the columns a page
// gets, where lines are cut, blank and Polish reports, the font, PDFs that cannot be
// written.

#include "core/code_page.h"
#include "core/safe_file.h"
#include "print/report_printer.h"
#include "tests/support/pdf_oracle.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPrinter>
#include <gtest/gtest.h>

namespace {

constexpr int kWidth = 4000;  // printable width of the test pages, device pixels

// A printer resolution and the size of one of its device pixels in points.
struct Dpi {
    int dpi;
    double pt() const { return 72.0 / dpi; }
};
constexpr Dpi kFine{720};    // ten device pixels a point
constexpr Dpi kCoarse{72};   // a device pixel a point: every page height can be set

// A PDF printer whose printable area is width x height device pixels at the page's top
// left corner, with a right margin of 20 points where nothing may show. Page sizes and
// margins come in whole points; the bottom margin makes up the rest of the height.
void setPage(QPrinter& printer, const QString& path, Dpi res, int width, int height)
{
    const int perPoint = res.dpi / 72;
    const int pageHeight = (height + perPoint - 1) / perPoint * perPoint;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(res.dpi);
    printer.setPageLayout(QPageLayout(QPageSize(QSizeF(width * res.pt() + 20, pageHeight * res.pt()),
                                                QPageSize::Point, QString(), QPageSize::ExactMatch),
                                      QPageLayout::Portrait,
                                      QMarginsF(0, 0, 20, (pageHeight - height) * res.pt())));
}

struct Printout {
    Dpi res;
    int pages = 0;              // as PrintReport counted them
    std::vector<PdfPage> read;  // as pdftotext reads them
};

Printout print(const QString& path, const std::vector<QByteArray>& lines, int columns, int height,
               Dpi res = kFine)
{
    QPrinter printer(QPrinter::HighResolution);
    setPage(printer, path, res, kWidth, height);
    EXPECT_EQ(printer.width(), kWidth);
    EXPECT_EQ(printer.height(), height);
    Printout out{res, 0, {}};
    out.pages = PrintReport(printer, lines, {columns, 9});
    out.read = readPdfWords(path);
    return out;
}

QByteArray rowText(int i)
{
    return QByteArray("ROW") + QByteArray::number(i).rightJustified(3, '0') + "-ABCDEFGH";
}

std::vector<QByteArray> numberedRows(int count)
{
    std::vector<QByteArray> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(rowText(i));
    return rows;
}

// The 9-point font in device pixels, as pdftotext measures it on a probe print-out.
struct FontMeasure {
    int lineHeight = 0;  // the font's box
    int pitch = 0;       // from one line to the next
    double advance = 0;  // one character
};

FontMeasure measure(const TestHome& home, Dpi res = kFine)
{
    const Printout p = print(home.path("probe.pdf"), {"ABCDEFGHIJ", "KLMNOPQRST"}, 1, res.dpi * 100 / 9, res);
    const PdfPlace a = findPdfWord(p.read, "ABCDEFGHIJ");
    const PdfPlace b = findPdfWord(p.read, "KLMNOPQRST");
    EXPECT_EQ(a.page, 0);
    EXPECT_EQ(b.page, 0);
    return {static_cast<int>(std::lround((a.word.yMax - a.word.yMin) / res.pt())),
            static_cast<int>(std::lround((b.word.yMin - a.word.yMin) / res.pt())),
            (a.word.xMax - a.word.xMin) / 10 / res.pt()};
}

// The tallest page on which a column that starts at the top margin holds 60 lines: the
// 60th line passes "line height + Top + 60 < page height" with Top = 30 + 58 pitches; on
// a page one pixel taller the 61st passes as well.
int sixtyLinePage(const FontMeasure& m)
{
    return 90 + (m.pitch - 5) + 59 * m.pitch;
}

// One column of the expected print-out: its page, its left edge in device pixels and the
// rows it holds. The first column of the report starts one pitch lower than all others.
struct Column {
    int page;
    int left;
    int firstRow;
    int rows;
};

void expectColumns(const Printout& p, const FontMeasure& m, const std::vector<Column>& columns)
{
    const double pt = p.res.pt();
    const PdfPlace top = findPdfWord(p.read, rowText(columns[1].firstRow));  // Top = 30
    ASSERT_EQ(top.page, columns[1].page);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const Column& col = columns[c];
        for (int r = 0; r < col.rows; ++r) {
            const int row = col.firstRow + r;
            const PdfPlace at = findPdfWord(p.read, rowText(row));
            const int linesAbove = r + (c == 0 ? 1 : 0);
            ASSERT_EQ(at.page, col.page) << "row " << row;
            EXPECT_NEAR(at.word.xMin, col.left * pt, 0.01) << "row " << row;
            EXPECT_NEAR(at.word.yMin - top.word.yMin, linesAbove * m.pitch * pt, 0.01) << "row " << row;
        }
    }
    std::size_t words = 0;
    for (const PdfPage& page : p.read)
        words += page.words.size();
    int rows = 0;
    for (const Column& col : columns)
        rows += col.rows;
    EXPECT_EQ(words, static_cast<std::size_t>(rows));
}

using ReportPrinting = PdfTest;

}  // namespace

TEST_F(ReportPrinting, FontIsTheFixedPitchFaceThatStandsForCourierNew)
{
    const QFont font = ReportFont(9);
    const QFontInfo info(font);
    EXPECT_TRUE(info.fixedPitch());
    EXPECT_EQ(info.family(), "Liberation Mono");  // fonts-liberation: metric-compatible with Courier New
    EXPECT_EQ(info.pointSize(), 9);
    const QFontMetrics metrics(font);
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("i")), metrics.horizontalAdvance(QStringLiteral("W")));
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral(".")), metrics.horizontalAdvance(QStringLiteral("Ł")));
    EXPECT_EQ(ReportFont(0).pointSize(), 9);
    EXPECT_EQ(ReportFont(-4).pointSize(), 9);
    EXPECT_EQ(ReportFont(14).pointSize(), 14);

    print(home.path("font.pdf"), {"FONT"}, 2, 8000);
    const QString fonts = readPdfFonts(home.path("font.pdf"));
    EXPECT_TRUE(fonts.contains("LiberationMono")) << fonts.toStdString();
    EXPECT_EQ(fonts.count('\n'), 3) << "one font only: " << fonts.toStdString();
}

TEST_F(ReportPrinting, RowsLandWhereTheLayoutPutsThem)
{
    const FontMeasure m = measure(home);
    ASSERT_GT(m.lineHeight, 50);
    EXPECT_EQ(m.pitch, m.lineHeight + 5) << "lines are spaced by their height + 5";
    // Two columns a page: the second starts at 30 + (width div 2 + 30).
    const int second = 30 + kWidth / 2 + 30;
    const int height = sixtyLinePage(m) / 10 * 10;  // whole points, still 60 lines a column
    const Printout p = print(home.path("rows.pdf"), numberedRows(150), 2, height);
    EXPECT_EQ(p.pages, 2);
    ASSERT_EQ(p.read.size(), 2u);
    expectColumns(p, m, {{0, 30, 0, 59}, {0, second, 59, 60}, {1, 30, 119, 31}});
}

TEST_F(ReportPrinting, ColumnEndsWhereTheBottomMarginBegins)
{
    // A point a pixel, so that the page can be one pixel taller.
    const FontMeasure m = measure(home, kCoarse);
    const int second = 30 + kWidth / 2 + 30;
    const Printout exact = print(home.path("exact.pdf"), numberedRows(150), 2, sixtyLinePage(m), kCoarse);
    expectColumns(exact, m, {{0, 30, 0, 59}, {0, second, 59, 60}, {1, 30, 119, 31}});
    const Printout taller = print(home.path("taller.pdf"), numberedRows(150), 2, sixtyLinePage(m) + 1, kCoarse);
    EXPECT_EQ(taller.pages, 2);
    expectColumns(taller, m, {{0, 30, 0, 60}, {0, second, 60, 61}, {1, 30, 121, 29}});
}

TEST_F(ReportPrinting, ColumnsPerPageFollowPrintPages)
{
    const FontMeasure m = measure(home);
    const int height = sixtyLinePage(m) / 10 * 10;
    const std::vector<Column> single = {{0, 30, 0, 59}, {1, 30, 59, 60}, {2, 30, 119, 31}};
    // One column a page: every full column is a new page. 0 and below print the same.
    for (int pages : {1, 0, -3}) {
        SCOPED_TRACE(pages);
        const Printout p = print(home.path("one.pdf"), numberedRows(150), pages, height);
        EXPECT_EQ(p.pages, 3);
        ASSERT_EQ(p.read.size(), 3u);
        expectColumns(p, m, single);
    }
    // Three: columns width div 3 + 30 apart.
    const int step = kWidth / 3 + 30;
    const Printout p = print(home.path("three.pdf"), numberedRows(200), 3, height);
    EXPECT_EQ(p.pages, 2);
    ASSERT_EQ(p.read.size(), 2u);
    expectColumns(p, m, {{0, 30, 0, 59}, {0, 30 + step, 59, 60}, {0, 30 + 2 * step, 119, 60}, {1, 30, 179, 21}});
}

TEST_F(ReportPrinting, LinesAreCutWhereTheNextColumnBeginsNotAtTheirColumnsFirstLine)
{
    const FontMeasure m = measure(home);
    const QByteArray digits = QByteArray("0123456789").repeated(6);
    std::vector<QByteArray> rows = numberedRows(59);
    rows[0] = digits;                   // column 1 of page 1, ends at 30 + step
    rows.push_back("S");                // column 2 starts with a short line ...
    rows.push_back("LONGER-THAN-ITS-FIRST-LINE");  // ... that does not cut the lines below it
    rows.push_back(digits);             // the last column ends at the printable width
    const Printout p = print(home.path("cut.pdf"), rows, 2, sixtyLinePage(m) / 10 * 10);
    ASSERT_EQ(p.read.size(), 1u);

    // The characters that start before the edge show (the last one cut across).
    auto shown = [&m](int space) {
        int count = 0;
        while (count * m.advance < space)
            ++count;
        return count;
    };
    const int step = kWidth / 2 + 30;
    const PdfPlace first = findPdfWord(p.read, QString::fromLatin1(digits.left(shown(step))));
    EXPECT_EQ(first.page, 0) << "column 1 cut after " << shown(step) << " characters";
    EXPECT_LT(shown(step), 60);
    EXPECT_EQ(findPdfWord(p.read, "S").page, 0);
    const PdfPlace longer = findPdfWord(p.read, "LONGER-THAN-ITS-FIRST-LINE");
    EXPECT_EQ(longer.page, 0) << "a second column's line is not cut at its first line's width";
    EXPECT_NEAR(longer.word.xMin, (30 + step) * kFine.pt(), 0.01);
    const PdfPlace last = findPdfWord(p.read, QString::fromLatin1(digits.left(shown(kWidth - 30 - step))));
    EXPECT_EQ(last.page, 0) << "column 2 cut at the printable width";
    EXPECT_LT(last.word.xMin + m.advance * kFine.pt() * (shown(kWidth - 30 - step) - 1), kWidth * kFine.pt());
}

TEST_F(ReportPrinting, EmptyReportPrintsOneBlankPage)
{
    for (const std::vector<QByteArray>& lines : {std::vector<QByteArray>{QByteArray()}, std::vector<QByteArray>{}}) {
        const Printout p = print(home.path("empty.pdf"), lines, 2, 8000);
        EXPECT_EQ(p.pages, 1);
        ASSERT_EQ(p.read.size(), 1u);
        EXPECT_TRUE(p.read[0].words.empty());
    }
}

TEST_F(ReportPrinting, PolishLettersPrintAsTheSameLetters)
{
    ASSERT_TRUE(SetDisplayCodePage("WINDOWS-1250"));
    // "ŁÓDŹ-żółć-ĄĘŚ" and "zażółć" in Windows-1250.
    const Printout p = print(home.path("pl.pdf"), {"\xA3\xD3" "D\x8F-\xBF\xF3\xB3\xE6-\xA5\xCA\x8C", "za\xBF\xF3\xB3\xE6"}, 2, 8000);
    ASSERT_EQ(p.read.size(), 1u);
    ASSERT_EQ(p.read[0].words.size(), 2u);
    EXPECT_EQ(p.read[0].words[0].text, QStringLiteral("ŁÓDŹ-żółć-ĄĘŚ"));
    EXPECT_EQ(p.read[0].words[1].text, QStringLiteral("zażółć"));
}

TEST_F(ReportPrinting, PdfThatCannotBeWrittenLeavesNothingUnderItsName)
{
    const std::vector<QByteArray> lines = numberedRows(10);
    QPrinter printer(QPrinter::HighResolution);
    setPage(printer, home.path("missing/out.pdf"), kFine, kWidth, 8000);
    EXPECT_THROW(PrintReport(printer, lines, {}), FileError);
    EXPECT_FALSE(QFileInfo::exists(home.path("missing/out.pdf")));
    EXPECT_FALSE(QFileInfo::exists(home.path("missing")));

    ASSERT_TRUE(QDir(home.path("")).mkdir("taken.pdf"));
    setPage(printer, home.path("taken.pdf"), kFine, kWidth, 8000);
    EXPECT_THROW(PrintReport(printer, lines, {}), FileError);
    EXPECT_TRUE(QFileInfo(home.path("taken.pdf")).isDir());
    EXPECT_EQ(QDir(home.path("")).entryList(QDir::Files).size(), 0) << "no temporary file left";

    setPage(printer, QString(), kFine, kWidth, 8000);
    EXPECT_THROW(PrintReport(printer, lines, {}), PrintError);
}
