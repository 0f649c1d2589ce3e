#include "reports/report_download.h"

#include "reports/progress_sink.h"
#include "reports/register_test.h"
#include "core/safe_file.h"
#include "core/settings.h"
#include "core/texts.h"
#include "link/ibus_session.h"
#include "reports/catalogue.h"
#include "reports/report_file.h"
#include "reports/report_checksums.h"
#include "reports/report_grid_model.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <vector>

namespace {

constexpr std::size_t kRecordLength = 24;
constexpr std::size_t kRecordsPerPage = ibus::kDataBlockSize / kRecordLength;
constexpr uint8_t kReportCommand = 14;
constexpr uint8_t kEndMarker = 0xA5;

bool isLastPage(const std::array<uint8_t, ibus::kDataBlockSize>& block)
{
    return block[254] == kEndMarker && block[255] == kEndMarker;
}

// One download, step by step; each error end disconnects n times, shows the text and
// closes the port.
class Download {
public:
    explicit Download(TDownloadJob& job) : job_(job), bus_(*job.bus), progress_(*job.progress),
                                           grid_(*job.grid) {}

    TDownloadOutcome Run()
    {
        const bool detail = job_.kind == TReportKind::Detail;
        if (detail)
            grid_.ClearReportGrid();
        bus_.CommName = job_.commName.toStdString();
        bus_.setBaudRate(job_.baudIndex);
        try {
            bus_.OpenPort();
        } catch (const ECommsError& e) {
            job_.errorText = QString::fromStdString(e.what());
            return TDownloadOutcome::PortFailed;
        }
        progress_.Show();
        progress_.ShowStatus(false, texts::StatusText(texts::sConnect));
        if (!bus_.ConnectEcr(kEcrAddress, false))
            return ErrorEnd(1, texts::ErrorText(texts::sConnect), TDownloadOutcome::LinkFailed);
        if (!CheckEcrStatus(bus_, progress_)) {
            job_.errorText = texts::ErrorText(texts::sCheckEcrTips);
            bus_.ClosePort();
            return TDownloadOutcome::LinkFailed;
        }
        const uint16_t readOnlyCode = detail ? cfg::kDetailReadOnlyCode : cfg::kSummaryReadOnlyCode;
        if (EcrStatus().FiscalMemoryClosed == 0 && job_.requestCode == readOnlyCode)
            return ErrorEnd(4, texts::Message(texts::SReadOnly), TDownloadOutcome::Refused);

        const QString stepError = job_.caption + QStringLiteral("...") + texts::Message(texts::sERROR);
        progress_.ShowStatus(false, job_.caption + QStringLiteral("..."));
        // The register does not say how many pages follow: the count is of pages received.
        progress_.SetTotalUnknown();
        bus_.DataBlock = BuildReportRequest(job_.range);
        if (!bus_.ExchangeCommand(kReportCommand, job_.requestCode))
            return ErrorEnd(1, stepError, TDownloadOutcome::LinkFailed);
        if (bus_.DataBlock[0] != 0)
            return ErrorEnd(1, job_.caption, TDownloadOutcome::Refused);

        // A summary grows in place: rows 0 and 1 stay free for its heading, its lines
        // start at row 2 (see AppendSummaryLine). A detail report replaces the rows at the end.
        grid_.SetRowCount(5);
        grid_.SetRow(0, QByteArray());
        std::vector<QByteArray> lines;
        for (int page = 1;; ) {
            bus_.DataBlock = BuildPageRequest(page);
            const bool waiting = detail ? page == 1 : page <= 2;
            progress_.ShowStatus(false, texts::Message(waiting ? texts::sWait : texts::sUpload));
            if (!bus_.ExchangeCommand(kReportCommand, job_.requestCode))
                return ErrorEnd(1, stepError, TDownloadOutcome::LinkFailed);
            const auto& block = bus_.DataBlock;
            progress_.SetCurrentPackage(page);
            if (detail) {
                TakeRecords(block, [this, &lines](const QByteArray& text) {
                    lines.push_back(text);
                    ++job_.records;
                });
                if (isLastPage(block))
                    break;
            } else {
                if (isLastPage(block)) {
                    // The last page of a summary holds no lines: its records 2 and 3 are
                    // the report's heading (title and range), which fill the two rows
                    // kept free at the top.
                    grid_.SetRow(0, RecordText(block.data() + 2 * kRecordLength));
                    grid_.SetRow(1, RecordText(block.data() + 3 * kRecordLength));
                    break;
                }
                TakeRecords(block, [this](const QByteArray& text) {
                    AppendSummaryLine(text);
                    ++job_.records;
                });
            }
            ++page;
        }
        if (detail)
            ArrangeDetailLines(lines);

        progress_.ShowStatus(false, texts::StatusText(texts::sDisconnect));
        bus_.DisconnectEcr(kEcrAddress, 0);

        const QString fullPath = job_.reportDir + job_.range.ReportFileName;
        std::string sha256;
        try {
            SaveReportGrid(grid_, fullPath, &sha256);
        } catch (const FileError& e) {
            // The report could not be stored: tell the operator and release the port.
            job_.errorText = QString::fromStdString(e.what());
            progress_.ShowStatus(true, job_.errorText);
            progress_.WaitForOperator();
            progress_.Close();
            bus_.ClosePort();
            return TDownloadOutcome::FileFailed;
        }
        // The report's checksum as stored, so that a later change is found.
        if (!job_.checksumsFile.isEmpty())
            job_.checksumRecorded = RecordReportChecksum(
                job_.checksumsFile, QFile::encodeName(QFileInfo(fullPath).fileName()).toStdString(), sha256,
                &job_.checksumError);
        if (!job_.checksumError.isEmpty()) {
            progress_.ShowStatus(true, job_.checksumError);
            progress_.WaitForOperator();
        }
        if (job_.catalogue)
            job_.catalogue->AddReport(fullPath, detail ? QByteArrayLiteral("Detail")
                                                       : QByteArrayLiteral("Summary"),
                                      QDateTime::currentDateTime());
        progress_.Close();
        bus_.ClosePort();
        return TDownloadOutcome::Stored;
    }

private:
    TDownloadOutcome ErrorEnd(int disconnects, const QString& text, TDownloadOutcome outcome)
    {
        for (int i = 0; i < disconnects; ++i)
            bus_.DisconnectEcr(kEcrAddress, 1);
        job_.errorText = text;
        job_.cancelled = progress_.ProgressState() == kProgressClosed;  // the operator's Cancel
        progress_.ShowStatus(true, text);
        progress_.WaitForOperator();
        bus_.ClosePort();
        return outcome;
    }

    template <typename Sink>
    static void TakeRecords(const std::array<uint8_t, ibus::kDataBlockSize>& block, Sink sink)
    {
        for (std::size_t k = 0; k < kRecordsPerPage; ++k) {
            const uint8_t* record = block.data() + k * kRecordLength;
            if (record[0] != 0)
                sink(RecordText(record));
        }
    }

    // The grid always ends in three empty rows (the report file keeps them as its last
    // lines): the new line takes the first of them, one row is added, and the current row
    // moves to the end so that the view follows the download.
    void AppendSummaryLine(const QByteArray& text)
    {
        const int r = grid_.RowCount();
        grid_.SetRow(r - 3, text);
        grid_.SetRowCount(r + 1);
        grid_.SetCurrentRow(r);
        grid_.SetRow(r - 2, QByteArray());
    }

    // The register sends a detail report's two heading lines after its other lines, so
    // the last two lines head the grid under an empty first row, then the others follow
    // in order. A single line sits under two empty rows.
    void ArrangeDetailLines(std::vector<QByteArray>& lines)
    {
        const int n = static_cast<int>(lines.size());
        grid_.SetRow(0, QByteArray());
        std::vector<QByteArray> rows(static_cast<std::size_t>(n >= 2 ? n + 1 : n == 1 ? 3 : 1));
        for (int i = 0; i < n; ++i) {
            QByteArray& line = lines[static_cast<std::size_t>(i)];
            const int row = i == n - 1 ? 2 : i == n - 2 ? 1 : i + 3;
            rows[static_cast<std::size_t>(row)] = std::move(line);
        }
        grid_.SetAllRows(std::move(rows));
    }

    TDownloadJob& job_;
    TVeskIBusComm& bus_;
    IProgressSink& progress_;
    ReportGridModel& grid_;
};

}  // namespace

QByteArray RecordText(const uint8_t* record)
{
    std::size_t length = 0;
    while (length < kRecordLength && record[length] != 0)
        ++length;
    return QByteArray(reinterpret_cast<const char*>(record), static_cast<qsizetype>(length));
}

void SetDownloadRetries(TVeskIBusComm& bus, TReportKind kind)
{
    bus.RetryInterval = kind == TReportKind::Detail ? kDetailRetryInterval : kSummaryRetryInterval;
    bus.setRetryCount(kDownloadRetryCount);
}

TDownloadOutcome RunReportDownload(TDownloadJob& job)
{
    return Download(job).Run();
}
