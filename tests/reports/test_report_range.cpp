#include "reports/report_range.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {
std::vector<int> bytes(const DataBlockBytes& b, std::size_t from, std::size_t to)
{
    return {b.begin() + from, b.begin() + to + 1};
}
}  // namespace

TEST(ReportRequest, ZRangeAndDateRangeBlocks)
{
    TReportRange z;
    z.RangeType = 0;
    z.ZCountFrom = 7;
    z.ZCountTo = 7;
    DataBlockBytes b = BuildReportRequest(z);
    EXPECT_EQ(bytes(b, 0, 6), (std::vector<int>{0, 0, 0x00, 0x00, 0x07, 0x00, 0x07}));
    for (std::size_t i = 7; i < 256; ++i)
        ASSERT_EQ(b[i], 0);
    z.ZCountFrom = 25;
    z.ZCountEnd = true;
    b = BuildReportRequest(z);
    EXPECT_EQ(bytes(b, 3, 6), (std::vector<int>{0x00, 0x25, 0xFF, 0xFF}));
    z.ZCountFrom = 123456;  // only the last four digits
    z.ZCountEnd = false;
    b = BuildReportRequest(z);
    EXPECT_EQ(bytes(b, 3, 4), (std::vector<int>{0x34, 0x56}));

    TReportRange d;
    d.RangeType = 1;
    d.DateFrom = 10196;
    d.DateTo = 311295;
    b = BuildReportRequest(d);
    EXPECT_EQ(bytes(b, 2, 8), (std::vector<int>{0x01, 0x01, 0x01, 0x96, 0x31, 0x12, 0x95}));
    d.DateEnd = true;
    b = BuildReportRequest(d);
    EXPECT_EQ(bytes(b, 6, 8), (std::vector<int>{0xFF, 0xFF, 0xFF}));
    d.DateFrom = -5;  // no encoding of its own: sent as zero
    b = BuildReportRequest(d);
    EXPECT_EQ(bytes(b, 3, 5), (std::vector<int>{0, 0, 0}));
}

TEST(ReportRequest, PageNumbers)
{
    DataBlockBytes b = BuildPageRequest(1);
    EXPECT_EQ(bytes(b, 0, 2), (std::vector<int>{1, 0, 0}));
    b = BuildPageRequest(0x1234);
    EXPECT_EQ(bytes(b, 0, 1), (std::vector<int>{0x34, 0x12}));
}

TEST(ReportName, FileNameAndValuesAsTyped)
{
    EXPECT_EQ(BuildReportFileName("abc", "1", "25"), "abc_1_25.txt");
    EXPECT_EQ(BuildReportFileName("abc", "010196", "311295"), "abc_010196_311295.txt");
    EXPECT_EQ(BuildReportFileName("r", "", "5"), "r__5.txt");
    EXPECT_EQ(BuildReportFileName("r", " 7 ", "x"), "r_7_x.txt");
    EXPECT_EQ(RangeValue("0025"), 25);
    EXPECT_EQ(RangeValue("010196"), 10196);
    EXPECT_EQ(RangeValue(""), 0);
    EXPECT_EQ(RangeValue("abc"), 0);
    EXPECT_EQ(RangeValue(" 5"), 0);
    EXPECT_EQ(RangeValue("999999"), 999999);
    EXPECT_EQ(TrimReportName("  \tname \x01"), "name");
    EXPECT_EQ(TrimReportName("   "), "");
}

TEST(ReportName, NamesThatWouldLeaveTheReportDirectory)
{
    EXPECT_TRUE(ReportNameProblem("abc").isEmpty());
    EXPECT_TRUE(ReportNameProblem("a.b c").isEmpty());
    EXPECT_FALSE(ReportNameProblem("../x").isEmpty());
    EXPECT_FALSE(ReportNameProblem("a/b").isEmpty());
    EXPECT_FALSE(ReportNameProblem(".").isEmpty());
    EXPECT_FALSE(ReportNameProblem("..").isEmpty());
    EXPECT_FALSE(ReportNameProblem(QStringLiteral("a\nb")).isEmpty());
}

TEST(ReportName, FileNameTooLongForTheFolderIsFoundBeforeTheDownload)
{
    const QString dir = QStringLiteral("/tmp/");
    const long limit = ::pathconf("/tmp", _PC_NAME_MAX);
    ASSERT_GT(limit, 20);
    // "_1_5.txt" is 8 bytes: the longest name that fits, and one byte more.
    const QString fits = BuildReportFileName(QString(limit - 8, 'n'), "1", "5");
    EXPECT_EQ(ReportFileNameProblem(dir, fits), "");
    const QString over = BuildReportFileName(QString(limit - 7, 'n'), "1", "5");
    EXPECT_TRUE(ReportFileNameProblem(dir, over).contains("too long")) << ReportFileNameProblem(dir, over).toStdString();
    // Bytes count, not characters: two-byte letters fill a name twice as fast.
    const QString wide = BuildReportFileName(QString(limit / 2, QChar(0x0142)), "1", "5");
    EXPECT_FALSE(ReportFileNameProblem(dir, wide).isEmpty());
    // A report folder not made yet is measured by the folder it will be made in.
    EXPECT_FALSE(ReportFileNameProblem(dir + "not/made/yet/", over).isEmpty());
    EXPECT_EQ(ReportFileNameProblem(dir + "not/made/yet/", fits), "");
}
