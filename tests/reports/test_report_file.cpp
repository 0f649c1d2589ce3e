#include "core/safe_file.h"
#include "reports/report_file.h"
#include "reports/report_grid_model.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(ReportGrid, RowCountAndClearing)
{
    ReportGridModel g;
    EXPECT_EQ(g.RowCount(), 1);
    g.SetRowCount(0);
    EXPECT_EQ(g.RowCount(), 1);
    g.SetRowCount(5);
    g.SetRow(4, "x");
    g.SetRow(5, "past the end");
    EXPECT_EQ(g.RowCount(), 5);
    g.ClearReportGrid();
    EXPECT_EQ(g.RowCount(), 5);
    EXPECT_TRUE(g.Row(4).isEmpty());
    EXPECT_TRUE(g.Row(99).isEmpty());
}

TEST(ReportFile, BytesRoundTripUnchanged)
{
    TestHome home;
    ReportGridModel g;
    std::vector<QByteArray> rows;
    QByteArray high;
    for (int c = 0x80; c <= 0xFF; ++c)
        high += static_cast<char>(c);
    rows.push_back(high);
    rows.push_back("");
    rows.push_back("PAMI\xA3\xC6 FISKALNA");
    g.SetAllRows(rows);
    const QString path = home.path("r.txt");
    ASSERT_TRUE(SaveReportGrid(g, path));
    EXPECT_EQ(readTestFile(path), high + "\r\n\r\nPAMI\xA3\xC6 FISKALNA\r\n");
    ReportGridModel back;
    back.SetRowCount(9);
    ASSERT_TRUE(LoadReportFile(back, path));
    EXPECT_EQ(back.Rows(), rows);
    // Shown decoded with the Central European code page.
    EXPECT_EQ(back.data(back.index(2, 0), Qt::DisplayRole).toString(), QString::fromUtf8("PAMIŁĆ FISKALNA"));
}

TEST(ReportFile, TxtAddedOnlyWhenThePathHasNoDot)
{
    TestHome home;
    ReportGridModel g;
    ASSERT_TRUE(SaveReportGrid(g, home.path("rep")));
    EXPECT_TRUE(QFile::exists(home.path("rep.txt")));
    QDir().mkpath(home.path("my.dir"));
    ASSERT_TRUE(SaveReportGrid(g, home.path("my.dir/rep")));
    EXPECT_TRUE(QFile::exists(home.path("my.dir/rep")));
    EXPECT_EQ(readTestFile(home.path("rep.txt")), "\r\n");
}

TEST(ReportFile, LineEndsAndEmptyFiles)
{
    TestHome home;
    ReportGridModel g;
    ASSERT_TRUE(writeTestFile(home.path("a.txt"), "one\r\ntwo\nthree\rfour"));
    ASSERT_TRUE(LoadReportFile(g, home.path("a.txt")));
    EXPECT_EQ(g.Rows(), (std::vector<QByteArray>{"one", "two", "three", "four"}));
    ASSERT_TRUE(writeTestFile(home.path("e.txt"), ""));
    ASSERT_TRUE(LoadReportFile(g, home.path("e.txt")));
    EXPECT_EQ(g.RowCount(), 1);
    EXPECT_TRUE(g.Row(0).isEmpty());
    ASSERT_TRUE(writeTestFile(home.path("blank.txt"), "\r\n\r\n"));
    ASSERT_TRUE(LoadReportFile(g, home.path("blank.txt")));
    EXPECT_EQ(g.RowCount(), 2);
}

TEST(ReportFile, ErrorsNameTheFile)
{
    TestHome home;
    ReportGridModel g;
    g.SetAllRows({"keep"});
    try {
        LoadReportFile(g, home.path("missing.txt"));
        FAIL();
    } catch (const FileError& e) {
        EXPECT_TRUE(QString(e.what()).startsWith("Cannot open file \"" + home.path("missing.txt") + "\". "));
    }
    EXPECT_TRUE(g.Row(0).isEmpty());  // emptied before the failure
    try {
        SaveReportGrid(g, home.path("no/such/dir/x.txt"));
        FAIL();
    } catch (const FileError& e) {
        EXPECT_TRUE(QString(e.what()).startsWith("Cannot create file \""));
    }
}
