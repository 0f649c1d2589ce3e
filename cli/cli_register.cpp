// The register commands: test, detail and summary downloads, the catalogue listing.

#include "cli/cli.h"
#include "cli/cli_common.h"
#include "cli/console_progress.h"
#include "cli/interrupt_notifier.h"
#include "reports/register_test.h"
#include "core/code_page.h"
#include "core/safe_file.h"
#include "core/settings.h"
#include "link/ibus_session.h"
#include "reports/catalogue.h"
#include "reports/report_checksums.h"
#include "reports/report_download.h"
#include "reports/report_grid_model.h"

#include <QFile>
#include <csignal>
#include <cstdio>

namespace cli {

namespace {

// Says which signal ended a register command, and what became of the data.
void printInterrupted(int signal, const QString& what)
{
    printError(QStringLiteral("%1 by %2: the port is closed and set back as it was")
                   .arg(what, QString::fromLatin1(signal == SIGINT ? "Ctrl-C (SIGINT)" : "SIGTERM")));
}

}  // namespace

int runTest(const QStringList& args)
{
    Options options;
    QString error;
    if (!parseOptions(args, 1, false, &options, &error)) {
        printError(error);
        return kExitUsage;
    }
    QString port;
    int baudIndex = 0;
    if (!resolveLink(options, &port, &baudIndex))
        return kExitUsage;
    TVeskIBusComm bus;
    prepareBus(bus);
    TInterruptNotifier interrupts([&bus] { bus.AbortExchange(); });
    TConsoleProgress progress;
    const bool answered = TestCommand(bus, progress, port, baudIndex);
    if (!answered && interrupts.Signal() != 0) {
        printInterrupted(interrupts.Signal(), QStringLiteral("The test was stopped"));
        return interrupts.ExitStatus();
    }
    return answered ? kExitOk : kExitFailed;
}

namespace {

// Splits "FROM-TO" into its two texts; each is one to maxLength digits, as the range
// dialog's edits hold them.
bool splitRange(const QString& text, int maxLength, QString* from, QString* to)
{
    const qsizetype dash = text.indexOf('-');
    if (dash < 0)
        return false;
    *from = text.left(dash);
    *to = text.mid(dash + 1);
    return IsRangeText(*from, maxLength) && IsRangeText(*to, maxLength);
}

}  // namespace

int runDownload(const QStringList& args, bool summary)
{
    const TReportKind kind = summary ? TReportKind::Summary : TReportKind::Detail;
    Options options;
    QString error;
    if (!parseOptions(args, 1, true, &options, &error)) {
        printError(error);
        return kExitUsage;
    }
    if (options.z.isEmpty() == options.dates.isEmpty()) {
        printError(QStringLiteral("give either --z FROM-TO or --dates DDMMYY-DDMMYY"));
        return kExitUsage;
    }
    const QString name = TrimReportName(options.name);
    if (name.isEmpty()) {
        printError(QStringLiteral("File Name empty: give the report's base name with --name"));
        return kExitUsage;
    }
    const QString problem = ReportNameProblem(name);
    if (!problem.isEmpty()) {
        printError(problem);
        return kExitUsage;
    }
    TReportRange range;
    // The range texts as typed, exactly as the dialog's edits take them.
    const bool zRange = !options.z.isEmpty();
    QString from, to;
    if (!splitRange(zRange ? options.z : options.dates, zRange ? 4 : 6, &from, &to)) {
        printError(zRange ? QStringLiteral("--z takes FROM-TO, each 1 to 4 digits")
                          : QStringLiteral("--dates takes DDMMYY-DDMMYY, each 1 to 6 digits"));
        return kExitUsage;
    }
    range.RangeType = zRange ? 0 : 1;
    (zRange ? range.ZCountFrom : range.DateFrom) = RangeValue(from);
    (zRange ? range.ZCountTo : range.DateTo) = RangeValue(to);
    (zRange ? range.ZCountEnd : range.DateEnd) = options.toEnd;
    range.ReportFileName = BuildReportFileName(name, from, to);
    const QString tooLong = ReportFileNameProblem(Settings().ReportDir, range.ReportFileName);
    if (!tooLong.isEmpty()) {
        printError(tooLong);
        return kExitUsage;
    }

    QString port;
    int baudIndex = 0;
    if (!resolveLink(options, &port, &baudIndex))
        return kExitUsage;
    const QString fullPath = Settings().ReportDir + range.ReportFileName;

    bool startFailed = false;
    Tdm dm([&startFailed](const QString& message) {
        printError(message);
        startFailed = true;
    });
    if (!dm.IsOpen())
        return kExitFileError;
    if (QFile::exists(fullPath) && !options.yes) {
        printError(QStringLiteral("%1 exists; give --yes to replace it").arg(fullPath));
        return kExitFileError;
    }

    TVeskIBusComm bus;
    prepareBus(bus);
    // Ctrl-C or SIGTERM ends the exchange as Cancel would: the register is disconnected,
    // the port closed and put back as it was; the report file is written only once the
    // download is complete, so an existing one stays as it was.
    TInterruptNotifier interrupts([&bus] { bus.AbortExchange(); });
    SetDownloadRetries(bus, kind);
    TConsoleProgress progress;
    ReportGridModel grid;
    TDownloadJob job;
    job.bus = &bus;
    job.progress = &progress;
    job.grid = &grid;
    job.catalogue = &dm.fmRpt;
    job.kind = kind;
    job.range = range;
    job.commName = port;
    job.baudIndex = baudIndex;
    const bool detail = kind == TReportKind::Detail;
    job.requestCode = options.readOnly ? (detail ? cfg::kDetailReadOnlyCode : cfg::kSummaryReadOnlyCode)
                                       : (detail ? cfg::kDetailRequestCode : cfg::kSummaryRequestCode);
    job.reportDir = Settings().ReportDir;
    job.checksumsFile = ReportChecksumsFile();
    const TDownloadOutcome outcome = RunReportDownload(job);
    // The exit status says what became of the report: stored and catalogued (0), or the
    // report or its catalogue entry not written (3).
    bool catalogued = true;
    try {
        dm.Close();
    } catch (const FileError& e) {
        printError(QString::fromStdString(e.what()));
        catalogued = false;
    }
    switch (outcome) {
    case TDownloadOutcome::Stored:
        std::fprintf(stdout, "%s\n", QFile::encodeName(fullPath).constData());
        if (!job.checksumError.isEmpty())
            printError(job.checksumError);
        return startFailed || !catalogued || !job.checksumRecorded ? kExitFileError : kExitOk;
    case TDownloadOutcome::FileFailed:
        return kExitFileError;
    default:
        if (interrupts.Signal() != 0) {
            printInterrupted(interrupts.Signal(), QStringLiteral("The download was stopped"));
            printError(QFile::exists(fullPath) ? QStringLiteral("Nothing was stored: %1 is as it was").arg(fullPath)
                                               : QStringLiteral("Nothing was stored"));
            return interrupts.ExitStatus();
        }
        return kExitFailed;
    }
}

int runCatalogue(const QStringList& args)
{
    const bool unarchived = args.size() == 2 && args[1] == QLatin1String("--unarchived");
    if (args.size() > 1 && !unarchived) {
        printError(QStringLiteral("usage: catalogue [--unarchived]"));
        return kExitUsage;
    }
    int status = kExitOk;
    QSet<QString> archived;
    if (unarchived && !loadArchivedNames(&archived))
        status = kExitFileError;
    // Listing only reads: no directory is made and fmList.txt is never written.
    Tdm dm([&status](const QString& message) {
        printError(message);
        status = kExitFileError;
    }, TdmMode::ReadOnly);
    const TCatalogueDateFormat dates;
    for (const TCatalogueEntry& e : dm.fmRpt.Entries()) {
        if (unarchived && archived.contains(TCatalogue::ReportNameKey(e)))
            continue;
        const QString when = e.cDateTime.isValid() ? dates.Format(e.cDateTime) : QString();
        std::fprintf(stdout, "%s\t%s\t%s\t%s\n", e.sType.constData(),
                     DecodeText(e.Caption).toLocal8Bit().constData(), when.toLocal8Bit().constData(),
                     e.FileName.constData());
    }
    return status;
}

}  // namespace cli
