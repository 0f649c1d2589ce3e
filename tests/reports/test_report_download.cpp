#include "reports/register_test.h"
#include "core/safe_file.h"
#include "core/texts.h"
#include "reports/catalogue.h"
#include "reports/report_download.h"
#include "reports/report_grid_model.h"
#include "tests/support/fake_session.h"
#include "tests/support/recording_progress.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

using Block = std::array<uint8_t, 256>;

Block page(const std::vector<std::string>& records, bool last)
{
    Block b{};
    for (std::size_t k = 0; k < records.size() && k < 10; ++k)
        std::copy(records[k].data(), records[k].data() + std::min<std::size_t>(records[k].size(), 24),
                  b.data() + 24 * k);
    if (last)
        b[254] = b[255] = 0xA5;
    return b;
}

std::vector<std::string> numbered(const char* prefix, int from, int count)
{
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(prefix + std::to_string(from + i));
    return out;
}

// A register that serves the given pages; the status reply carries fiscalClosed.
struct Register : FakeSession {
    RecordingProgress progress;
    ReportGridModel grid;
    TCatalogue catalogue;
    std::vector<Block> pages;
    uint8_t fiscalClosed = 1;
    uint8_t accept = 0;
    int failPage = 0;  // a page that is never answered
    int retries = 20;
    std::vector<ibus::Payload> reportRequests;
    TDownloadJob job;  // of the last run

    Register() : FakeSession(Time::Stepped)
    {
        texts::ResetToDefaults();
        port->responder = [this](const ibus::Payload& rq, ibus::Payload& rp) {
            if (rq[0] == 0) {
                rp[3 + 15] = fiscalClosed;
                return true;
            }
            if (rq[0] == 14 && rq[1] != 16) {
                reportRequests.push_back(rq);
                const int n = rq[3] | (rq[4] << 8);
                if (n == 0) {
                    rp[3] = accept;
                    return true;
                }
                if (n == failPage)
                    return false;
                const Block& b = pages.at(static_cast<std::size_t>(n - 1));
                std::copy(b.begin(), b.end(), rp.begin() + 3);
            }
            return true;
        };
    }

    TDownloadOutcome run(TReportKind kind, uint16_t code = 0)
    {
        job = TDownloadJob();
        job.bus = bus.get();
        job.progress = &progress;
        job.grid = &grid;
        job.catalogue = &catalogue;
        job.kind = kind;
        job.range.RangeType = 0;
        job.range.ZCountFrom = 1;
        job.range.ZCountTo = 5;
        job.range.ReportFileName = "abc_1_5.txt";
        job.commName = "COM2";
        job.requestCode = code ? code : (kind == TReportKind::Detail ? 32 : 48);
        job.reportDir = Settings().ReportDir;
        SetDownloadRetries(*bus, kind);
        bus->RetryInterval = 200;
        bus->setRetryCount(retries);
        QDir().mkpath(Settings().ReportDir);
        return RunReportDownload(job);
    }
    QByteArray file() const
    {
        QByteArray c;
        readWholeFile(Settings().ReportDir + "abc_1_5.txt", &c);
        return c;
    }
};

std::vector<QByteArray> rowsOf(const ReportGridModel& g)
{
    return g.Rows();
}

}  // namespace

TEST(DetailDownload, NoLinesGivesOneEmptyRow)
{
    TestHome home;
    Register r;
    r.pages = {page({"", "", ""}, true)};
    EXPECT_EQ(r.run(TReportKind::Detail), TDownloadOutcome::Stored);
    EXPECT_EQ(rowsOf(r.grid), std::vector<QByteArray>{""});
    EXPECT_EQ(r.file(), "\r\n");
    ASSERT_EQ(r.catalogue.Count(), 1);
    EXPECT_EQ(r.catalogue.Entry(0).sType, "Detail");
    EXPECT_EQ(r.progress.statuses, (QStringList{"N:Connect...", "N:Check ecr status...", "N:FM Report...",
                                                "N:Waiting", "N:Disconnect..."}));
    EXPECT_EQ(r.progress.closes, 1);
    EXPECT_EQ(r.Disconnects(0), 1);
    EXPECT_EQ(r.bus->RetryInterval, 200);
}

TEST(DetailDownload, ArrangementOfOneTwoAndTwelveLines)
{
    TestHome home;
    {
        Register r;
        r.pages = {page({"only"}, true)};
        r.run(TReportKind::Detail);
        EXPECT_EQ(rowsOf(r.grid), (std::vector<QByteArray>{"", "", "only"}));
    }
    {
        Register r;
        r.pages = {page({"first", "second"}, true)};
        r.run(TReportKind::Detail);
        EXPECT_EQ(rowsOf(r.grid), (std::vector<QByteArray>{"", "first", "second"}));
    }
    {
        Register r;
        r.pages = {page(numbered("L", 0, 10), false), page(numbered("L", 10, 2), true)};
        r.run(TReportKind::Detail);
        std::vector<QByteArray> want{"", "L10", "L11"};
        for (int i = 0; i < 10; ++i)
            want.push_back("L" + QByteArray::number(i));
        EXPECT_EQ(rowsOf(r.grid), want);
        EXPECT_EQ(r.progress.currents, (QList<int>{1, 2})) << "pages received";
        EXPECT_EQ(r.progress.unknownTotals, 1) << "no total is claimed";
        EXPECT_EQ(r.progress.totals, QList<int>{0}) << "only the status check's";
        EXPECT_EQ(r.job.records, 12);
        EXPECT_EQ(r.progress.statuses.count("N:Upload:"), 1);
    }
}

TEST(DetailDownload, RecordTextsAndTheEndMarker)
{
    TestHome home;
    Register r;
    Block p1 = page({std::string(24, 'X')}, false);
    const char withZero[] = "ABCDE\0FGH";
    std::copy(withZero, withZero + 9, p1.begin() + 24);
    p1[48] = 0;
    p1[49] = 'h';  // first byte zero: skipped although text follows
    p1[254] = 0xA5;
    p1[255] = 0x00;  // not the last page
    r.pages = {p1, page({"end"}, true)};
    r.run(TReportKind::Detail);
    EXPECT_EQ(rowsOf(r.grid), (std::vector<QByteArray>{"", "ABCDE", "end", QByteArray(24, 'X')}));
    EXPECT_EQ(RecordText(reinterpret_cast<const uint8_t*>(withZero)), "ABCDE");
}

TEST(DetailDownload, ReadOnlyModeAndTheFiscalMemoryFlag)
{
    TestHome home;
    {
        Register r;
        r.fiscalClosed = 0;
        r.pages = {page({"x"}, true)};
        EXPECT_EQ(r.run(TReportKind::Detail, 49), TDownloadOutcome::Refused);
        EXPECT_EQ(r.Disconnects(1), 4);
        EXPECT_EQ(r.progress.statuses.last(), "E:PAMI?? FISKALNA NIE ZAMKNI?TA.");
        EXPECT_TRUE(r.reportRequests.empty());
        EXPECT_TRUE(r.catalogue.IsEmpty());
    }
    {
        Register r;
        r.fiscalClosed = 2;
        r.pages = {page({"x"}, true)};
        EXPECT_EQ(r.run(TReportKind::Detail, 49), TDownloadOutcome::Stored);
        EXPECT_EQ(r.reportRequests[0][1], 49);
    }
    {
        Register r;
        r.fiscalClosed = 0;
        r.pages = {page({"x"}, true)};
        EXPECT_EQ(r.run(TReportKind::Detail, 32), TDownloadOutcome::Stored);
        EXPECT_EQ(r.reportRequests[0][1], 32);
        // The request carries the range.
        EXPECT_EQ(r.reportRequests[0][3 + 4], 0x01);
        EXPECT_EQ(r.reportRequests[0][3 + 6], 0x05);
    }
}

TEST(DetailDownload, RefusedRequestAndFailedPage)
{
    TestHome home;
    {
        Register r;
        r.accept = 3;
        EXPECT_EQ(r.run(TReportKind::Detail), TDownloadOutcome::Refused);
        EXPECT_EQ(r.progress.statuses.last(), "E:FM Report");
        EXPECT_EQ(r.Disconnects(1), 1);
        EXPECT_FALSE(r.bus->isActive());
    }
    {
        Register r;
        r.pages = {page(numbered("L", 0, 10), false), page({"x"}, true)};
        r.failPage = 2;
        r.retries = 1;
        EXPECT_EQ(r.run(TReportKind::Detail), TDownloadOutcome::LinkFailed);
        EXPECT_EQ(r.progress.statuses.last(), "E:FM Report...Error");
        EXPECT_FALSE(r.job.cancelled) << "the register failed, not the operator";
        EXPECT_EQ(rowsOf(r.grid), std::vector<QByteArray>(5));
        EXPECT_TRUE(r.file().isEmpty());
        EXPECT_TRUE(r.catalogue.IsEmpty());
    }
}

TEST(DetailDownload, CancelDuringPagingClosesThePort)
{
    TestHome home;
    Register r;
    r.pages = {page(numbered("L", 0, 10), false)};
    r.failPage = 2;
    // The operator cancels while the request for page 2 waits for its answer.
    r.WhenSent([&] { return r.progress.currents.size() >= 1; }, [&] {
        r.bus->AbortExchange();
        r.progress.state = kProgressClosed;  // as the window's Cancel does
    });
    EXPECT_EQ(r.run(TReportKind::Detail), TDownloadOutcome::LinkFailed);
    EXPECT_EQ(r.progress.waits, 1);
    EXPECT_FALSE(r.progress.statuses.last().startsWith("E:"));  // ignored after Cancel
    EXPECT_TRUE(r.job.cancelled);
    EXPECT_FALSE(r.bus->isActive());
    EXPECT_EQ(rowsOf(r.grid), std::vector<QByteArray>(5));
    EXPECT_TRUE(r.catalogue.IsEmpty());
}

TEST(DetailDownload, UnwritableReportFileReleasesEverything)
{
    TestHome home;
    Register r;
    r.pages = {page({"x"}, true)};
    QDir().mkpath(Settings().ReportDir + "abc_1_5.txt");  // a directory in the file's place
    EXPECT_EQ(r.run(TReportKind::Detail), TDownloadOutcome::FileFailed);
    EXPECT_TRUE(r.progress.statuses.last().startsWith("E:Cannot create file"));
    EXPECT_EQ(r.progress.waits, 1);
    EXPECT_EQ(r.progress.closes, 1);
    EXPECT_FALSE(r.bus->isActive());
    EXPECT_EQ(r.Disconnects(0), 1);
    EXPECT_TRUE(r.catalogue.IsEmpty());
}

TEST(SummaryDownload, LinesAsTheyArriveAndTheHeadingRows)
{
    TestHome home;
    Register r;
    Block end = page({"ignored0", "ignored1", "HEAD A", "HEAD B", "ignored4"}, true);
    r.pages = {page(numbered("S", 0, 10), false), page(numbered("S", 10, 10), false), end};
    EXPECT_EQ(r.run(TReportKind::Summary), TDownloadOutcome::Stored);
    ASSERT_EQ(r.grid.RowCount(), 25);
    EXPECT_EQ(r.grid.Row(0), "HEAD A");
    EXPECT_EQ(r.grid.Row(1), "HEAD B");
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(r.grid.Row(2 + i), "S" + QByteArray::number(i));
    EXPECT_TRUE(r.grid.Row(22).isEmpty() && r.grid.Row(23).isEmpty() && r.grid.Row(24).isEmpty());
    EXPECT_EQ(r.grid.CurrentRow(), 24);
    EXPECT_EQ(r.catalogue.Entry(0).sType, "Summary");
    EXPECT_EQ(r.progress.statuses.count("N:Waiting"), 2);  // pages 1 and 2
    EXPECT_EQ(r.progress.statuses.count("N:Upload:"), 1);  // page 3
    EXPECT_TRUE(r.file().endsWith("S19\r\n\r\n\r\n\r\n"));
}

TEST(SummaryDownload, EndMarkerOnTheFirstPage)
{
    TestHome home;
    Register r;
    r.pages = {page({"", "", "", "HEAD B"}, true)};
    EXPECT_EQ(r.run(TReportKind::Summary), TDownloadOutcome::Stored);
    EXPECT_EQ(rowsOf(r.grid), (std::vector<QByteArray>{"", "HEAD B", "", "", ""}));
    EXPECT_EQ(r.file(), "\r\nHEAD B\r\n\r\n\r\n\r\n");
}

TEST(SummaryDownload, ReadOnlyUsesFiftyAndFailureKeepsReceivedLines)
{
    TestHome home;
    {
        Register r;
        r.fiscalClosed = 0;
        EXPECT_EQ(r.run(TReportKind::Summary, 50), TDownloadOutcome::Refused);
        EXPECT_EQ(r.Disconnects(1), 4);
    }
    {
        Register r;
        r.pages = {page(numbered("S", 0, 3), false)};
        r.failPage = 2;
        r.retries = 0;
        EXPECT_EQ(r.run(TReportKind::Summary), TDownloadOutcome::LinkFailed);
        EXPECT_EQ(r.grid.Row(2), "S0");
        EXPECT_EQ(r.grid.Row(4), "S2");
        EXPECT_TRUE(r.grid.Row(0).isEmpty());
        EXPECT_TRUE(r.catalogue.IsEmpty());
    }
}
