// Printing end to end, read back with pdftotext: the print command into PDF files and to
// printers that are not there, and the report window's Print button through the print
// dialog, which must give the same PDF as the command line.

#include "core/safe_file.h"
#include "core/settings.h"
#include "link/ibus_session.h"
#include "reports/catalogue.h"
#include "reports/report_grid_model.h"
#include "ui/report_form.h"
#include "ui/upload_report_dialog.h"
#include "tests/support/pdf_oracle.h"
#include "tests/support/program_run.h"
#include "tests/support/recording_progress.h"
#include "tests/support/test_home.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>

namespace {

QByteArray rowText(int i)
{
    return QByteArray("ROW") + QByteArray::number(i).rightJustified(3, '0') + "-ABCDEFGH";
}

// A report file of numbered rows, one word each, CR LF ended.
QString writeReport(const TestHome& home, const QString& name, int rows)
{
    QByteArray content;
    for (int i = 0; i < rows; ++i)
        content += rowText(i) + "\r\n";
    const QString path = home.path(name);
    EXPECT_TRUE(writeTestFile(path, content));
    return path;
}

ProgramRun runPrint(const TestHome& home, QStringList args)
{
    args.prepend(QStringLiteral("print"));
    args.prepend(home.path(""));
    args.prepend(QStringLiteral("--home"));
    return runProgram(args);
}

// The rows of a print-out by column: page, left edge (points) and the row numbers in
// reading order, with each row's top.
struct PrintedColumn {
    int page;
    double left;
    std::vector<int> rows;
    std::vector<double> tops;
};

std::vector<PrintedColumn> columnsOf(const std::vector<PdfPage>& pages)
{
    std::vector<PrintedColumn> columns;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        std::map<double, PrintedColumn> byLeft;
        for (const PdfWord& w : pages[p].words) {
            PrintedColumn& c = byLeft.try_emplace(w.xMin, PrintedColumn{int(p), w.xMin, {}, {}}).first->second;
            c.rows.push_back(w.text.mid(3, 3).toInt());
            c.tops.push_back(w.yMin);
        }
        for (auto& [left, column] : byLeft)
            columns.push_back(column);
    }
    return columns;
}

// Checks the column layout of numbered rows: rows in order column after column, evenly
// spaced, the report's first line one pitch lower than the first line of every other
// column; returns the columns.
std::vector<PrintedColumn> expectColumnLayout(const QString& pdf, int rows)
{
    const std::vector<PrintedColumn> columns = columnsOf(readPdfWords(pdf));
    EXPECT_FALSE(columns.empty());
    if (columns.empty() || columns[0].rows.size() < 2)
        return columns;
    const double pitch = columns[0].tops[1] - columns[0].tops[0];
    EXPECT_GT(pitch, 5.0);
    int next = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const PrintedColumn& col = columns[c];
        const double first = columns[0].tops[0] - (c == 0 ? 0 : pitch);
        for (std::size_t r = 0; r < col.rows.size(); ++r) {
            EXPECT_EQ(col.rows[r], next++);
            EXPECT_NEAR(col.tops[r], first + static_cast<double>(r) * pitch, 0.01) << "row " << col.rows[r];
        }
    }
    EXPECT_EQ(next, rows);
    return columns;
}

using PrintCommand = PdfTest;
using PrintButton = PdfTest;

}  // namespace

TEST_F(PrintCommand, PrintsTheReportInColumnsIntoAPdf)
{
    const QString report = writeReport(home, "r150.txt", 150);
    const ProgramRun run = runPrint(home, {report, "--pdf", home.path("r150.pdf"), "--pages", "2", "--font-size", "12"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(home.path("r150.pdf") + ": 2 pages")) << run.out.toStdString();
    const std::vector<PrintedColumn> columns = expectColumnLayout(home.path("r150.pdf"), 150);
    // Page 1 holds two columns, the second one line longer than the first; page 2 the rest.
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].page, 0);
    EXPECT_EQ(columns[1].page, 0);
    EXPECT_EQ(columns[2].page, 1);
    EXPECT_EQ(columns[1].rows.size(), columns[0].rows.size() + 1);
    EXPECT_GT(columns[1].left, columns[0].left);
    EXPECT_EQ(columns[2].left, columns[0].left);
    EXPECT_TRUE(readPdfFonts(home.path("r150.pdf")).contains("LiberationMono"));
}

TEST_F(PrintCommand, PrintSettingsAreTheDefaults)
{
    const QString report = writeReport(home, "r150.txt", 150);
    ASSERT_TRUE(writeSystemConfig("[Print]\r\nPages=1\r\nFontsize=12\r\n"));
    const ProgramRun one = runPrint(home, {report, "--pdf", home.path("one.pdf")});
    ASSERT_EQ(one.status, 0) << one.err.toStdString();
    const std::vector<PrintedColumn> single = expectColumnLayout(home.path("one.pdf"), 150);
    ASSERT_EQ(single.size(), 3u);
    for (const PrintedColumn& c : single)
        EXPECT_EQ(c.left, single[0].left);
    EXPECT_EQ(single[2].page, 2);

    // --pages overrides the setting; 0 columns a page print as one, and the command says so.
    const ProgramRun zero = runPrint(home, {report, "--pdf", home.path("zero.pdf"), "--pages", "0"});
    ASSERT_EQ(zero.status, 0) << zero.err.toStdString();
    EXPECT_TRUE(zero.err.contains("printing one column a page")) << zero.err.toStdString();
    EXPECT_EQ(readPdfWords(home.path("zero.pdf")).size(), 3u);
    const std::vector<PrintedColumn> same = expectColumnLayout(home.path("zero.pdf"), 150);
    ASSERT_EQ(same.size(), single.size());
    for (std::size_t c = 0; c < same.size(); ++c)
        EXPECT_EQ(same[c].tops, single[c].tops);

    // The display code page decodes the lines: Polish letters print as letters.
    ASSERT_TRUE(writeTestFile(home.path("pl.txt"), "\xA3\xD3" "D\x8F-\xBF\xF3\xB3\xE6\r\n"));
    ASSERT_EQ(runPrint(home, {home.path("pl.txt"), "--pdf", home.path("pl.pdf")}).status, 0);
    EXPECT_EQ(findPdfWord(readPdfWords(home.path("pl.pdf")), QStringLiteral("ŁÓDŹ-żółć")).page, 0);
}

TEST_F(PrintCommand, RunsWithoutADisplay)
{
    const QString report = writeReport(home, "r.txt", 5);
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("QT_QPA_PLATFORM", "xcb");  // a platform that needs a display is not used
    const ProgramRun run = runPrint(home, {report, "--pdf", home.path("r.pdf")});
    qputenv("QT_QPA_PLATFORM", platform);
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(findPdfWord(readPdfWords(home.path("r.pdf")), QString::fromLatin1(rowText(4))).page, 0);
}

TEST_F(PrintCommand, FailuresEndWithTheirStatusAndMessage)
{
    const QString report = writeReport(home, "r.txt", 5);
    struct Case {
        QStringList args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "usage: print REPORT"},
        {{report, "--pdf"}, 2, "option --pdf needs a value"},
        {{report, "--pdf", "a.pdf", "--printer", "P"}, 2, "either --pdf or --printer"},
        {{report, "--font-size", "0"}, 2, "--font-size takes"},
        {{report, "--pages", "two"}, 2, "--pages takes"},
        {{report, "--copies", "2"}, 2, "unknown option: --copies"},
        // Settings that would print pages without the report's text.
        {{report, "--pdf", home.path("many.pdf"), "--pages", "100000"}, 2, "narrower than the report's lines"},
        {{report, "--pdf", home.path("huge.pdf"), "--font-size", "1000"}, 2, "taller than a page"},
        {{report, report}, 2, "one report file"},
        {{home.path("none.txt"), "--pdf", home.path("none.pdf")}, 3, "Cannot open file"},
        {{report, "--pdf", home.path("missing/r.pdf")}, 3, "Unable to write"},
        {{report, "--printer", "NoSuchPrinter"}, 3, "no printer named \"NoSuchPrinter\""},
        {{report}, 3, "No printer is installed"},
    };
    // No print server: no printer, no default one.
    qputenv("CUPS_SERVER", QFile::encodeName(home.path("no-cups-socket")));
    for (const Case& c : cases) {
        const ProgramRun run = runPrint(home, c.args);
        EXPECT_EQ(run.status, c.status) << c.args.join(' ').toStdString() << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    qunsetenv("CUPS_SERVER");
    EXPECT_FALSE(QFileInfo::exists(home.path("none.pdf")));
    EXPECT_FALSE(QFileInfo::exists(home.path("missing")));
}

namespace {

// The report window with its own objects; the print dialog is answered by a timer.
struct PrintWindow {
    TVeskIBusComm bus;
    RecordingProgress progress;
    TCatalogue catalogue;
    Tfmfrm form{bus, progress, catalogue};
    bool dialogSeen = false;

    // When the dialog shows: chooses printing into `pdf` (or cancels when it is empty),
    // running `onAccept` once the dialog has taken the choice.
    void answerPrintDialog(const QString& pdf, std::function<void()> onAccept = {})
    {
        QTimer::singleShot(50, &form, [this, pdf, onAccept] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialogSeen = true;
            if (pdf.isEmpty()) {
                dialog->reject();
                return;
            }
            auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
            auto* fileName = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
            ASSERT_TRUE(printers && fileName);
            printers->setCurrentIndex(printers->count() - 1);  // printing into a PDF file comes last
            fileName->setText(pdf);
            if (onAccept)
                QObject::connect(dialog, &QDialog::accepted, onAccept);
            dialog->accept();
        });
    }
};

}  // namespace

TEST_F(PrintButton, GivesTheSamePdfAsTheCommandLine)
{
    const QString report = writeReport(home, "r150.txt", 150);
    ASSERT_TRUE(writeSystemConfig("[Print]\r\nPages=2\r\nFontsize=12\r\n"));
    ReadSystemConfig();
    PrintWindow w;
    w.form.ChooseOpenFile = [&] { return report; };
    w.form.OpenBtnClick();

    w.answerPrintDialog(home.path("window.pdf"));
    w.form.PrintBtn->click();
    EXPECT_TRUE(w.dialogSeen);
    ASSERT_TRUE(QFileInfo::exists(home.path("window.pdf")));
    ASSERT_EQ(runPrint(home, {report, "--pdf", home.path("cli.pdf")}).status, 0);

    const std::vector<PdfPage> window = readPdfWords(home.path("window.pdf"));
    const std::vector<PdfPage> cli = readPdfWords(home.path("cli.pdf"));
    ASSERT_EQ(window.size(), 2u);
    ASSERT_EQ(window.size(), cli.size());
    for (std::size_t p = 0; p < cli.size(); ++p) {
        EXPECT_EQ(window[p].width, cli[p].width);
        EXPECT_EQ(window[p].height, cli[p].height);
        ASSERT_EQ(window[p].words.size(), cli[p].words.size());
        for (std::size_t i = 0; i < cli[p].words.size(); ++i) {
            const PdfWord& a = window[p].words[i];
            const PdfWord& b = cli[p].words[i];
            EXPECT_EQ(a.text, b.text);
            EXPECT_EQ(a.xMin, b.xMin);
            EXPECT_EQ(a.yMin, b.yMin);
        }
    }
    expectColumnLayout(home.path("window.pdf"), 150);
}

TEST_F(PrintButton, PrintsNothingWhenCancelledAndRaisesAFailedWrite)
{
    PrintWindow w;
    w.form.Grid().SetAllRows({rowText(0), rowText(1)});
    w.answerPrintDialog(QString());
    w.form.PrintBtn->click();
    EXPECT_TRUE(w.dialogSeen);
    EXPECT_EQ(QDir(home.path("")).entryList(QDir::Files).size(), 0);

    // The folder goes away after the dialog checked it: the error goes to the standard
    // error box, and no PDF, whole or half, is left.
    ASSERT_TRUE(QDir(home.path("")).mkdir("out"));
    const QString target = home.path("out/r.pdf");
    w.answerPrintDialog(target, [&] { QDir(home.path("out")).removeRecursively(); });
    EXPECT_THROW(w.form.PrintBtnClick(), FileError);
    EXPECT_FALSE(QFileInfo::exists(target));
}
