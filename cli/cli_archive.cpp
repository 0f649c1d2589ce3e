// The checks of the archive: `check` recomputes the checksum of every report recorded at
// its download and lists those changed or missing since; `audit` reads every session of a
// disc and compares its files with the sessions' checksum lists and the download
// checksums; the archived reports behind `catalogue --unarchived`.

#include "cli/burn_progress.h"
#include "cli/cli.h"
#include "cli/cli_common.h"
#include "burn/write/disc_audit.h"
#include "burn/drive/drive_commands.h"
#include "burn/transport/scsi_transport.h"
#include "core/settings.h"
#include "core/base/sha256.h"
#include "reports/archive_record.h"
#include "reports/report_checksums.h"

#include <QFile>
#include <chrono>
#include <cstdio>

namespace cli {

int runCheck(const QStringList& args)
{
    if (args.size() > 1) {
        printError(QStringLiteral("check takes no options"));
        return kExitUsage;
    }
    TReportChecksums sums;
    QString error;
    const bool whole = sums.Load(ReportChecksumsFile(), &error);
    if (!error.isEmpty())
        printError(error);
    int changed = 0, missing = 0;
    for (const TChecksumLine& line : sums.Lines()) {
        const std::string path = QFile::encodeName(Settings().ReportDir).toStdString() + line.name;
        std::string hex, reason;
        if (!Sha256OfFile(path, &hex, &reason)) {
            ++missing;
            std::fprintf(stdout, "missing\t%s\t%s\n", line.name.c_str(), reason.c_str());
        } else if (hex != line.hex) {
            ++changed;
            std::fprintf(stdout, "changed\t%s\n", line.name.c_str());
        }
    }
    const int checked = static_cast<int>(sums.Lines().size());
    std::fprintf(stdout, "%d reports checked: %d unchanged, %d changed, %d missing\n", checked,
                 checked - changed - missing, changed, missing);
    if (changed || missing)
        return kExitFailed;
    return whole ? kExitOk : kExitFileError;
}

namespace {

// The audit's table: file, session, size, state; columns as wide as their longest text.
void printAuditTable(const TAuditResult& audit)
{
    QStringList names {QStringLiteral("FILE")};
    QStringList sizes {QStringLiteral("SIZE")};
    for (const TAuditRow& r : audit.rows) {
        names << QString::fromStdString(r.name);
        sizes << (r.size < 0 ? QStringLiteral("-") : QString::number(r.size));
    }
    qsizetype nameWidth = 0, sizeWidth = 0;
    for (const QString& n : names)
        nameWidth = std::max(nameWidth, n.size());
    for (const QString& n : sizes)
        sizeWidth = std::max(sizeWidth, n.size());
    auto line = [&](const QString& name, const QString& session, const QString& size, const QString& state) {
        const QString text = name.leftJustified(nameWidth) + QStringLiteral("  ") + session.rightJustified(7) +
                             QStringLiteral("  ") + size.rightJustified(sizeWidth) + QStringLiteral("  ") + state;
        std::fprintf(stdout, "%s\n", text.trimmed().toLocal8Bit().constData());
    };
    line(names[0], QStringLiteral("SESSION"), sizes[0], QStringLiteral("STATE"));
    for (std::size_t i = 0; i < audit.rows.size(); ++i) {
        const TAuditRow& r = audit.rows[i];
        const QString state = QString::fromLatin1(AuditStateText(r.state)) +
                              (r.detail.empty() ? QString() : QStringLiteral(" (%1)").arg(QString::fromStdString(r.detail)));
        line(names[qsizetype(i) + 1], QString::number(r.session), sizes[qsizetype(i) + 1], state);
    }
}

}  // namespace

int runAudit(const QStringList& args)
{
    QString drive;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--drive") && i + 1 < args.size()) {
            drive = args[++i];
        } else {
            printError(QStringLiteral("usage: audit [--drive N|LINE]"));
            return kExitUsage;
        }
    }
    TReportChecksums sums;
    QString error;
    if (!sums.Load(ReportChecksumsFile(), &error))
        printError(error);
    TScsiTransport& transport = ScsiTransport();
    TDriveCommands commands(transport);
    std::string line;
    if (const int status = selectDrive(drive, transport, commands, &line); status != kExitOk)
        return status;

    TBurnProgress progress(stderr, 0);
    const auto started = std::chrono::steady_clock::now();
    TAuditOptions options;
    options.downloadChecksum = [&sums](const std::string& name) -> std::optional<std::string> {
        const TChecksumLine* found = sums.Find(name);
        return found ? std::optional<std::string>(found->hex) : std::nullopt;
    };
    int64_t shownTotal = -1;
    auto lastUpdate = started;
    options.progress = [&](int64_t done, int64_t total) {
        const auto now = std::chrono::steady_clock::now();
        if (total != shownTotal) {
            progress = TBurnProgress(stderr, total, "reading");
            shownTotal = total;
        } else if (done < total && now - lastUpdate < std::chrono::milliseconds(250)) {
            return;
        }
        lastUpdate = now;
        progress.Update(done, std::chrono::duration<double>(now - started).count());
    };
    const TAuditResult audit = AuditDisc(commands, options);
    progress.Finish();
    if (!audit.read) {
        printError(QString::fromStdString(audit.problem));
        return kExitFailed;
    }
    printAuditTable(audit);
    for (const int s : audit.withoutList)
        std::fprintf(stdout, "session %d has no checksum list (burnt without checksums or by another program)\n", s);
    if (!audit.problem.empty())
        printError(QString::fromStdString(audit.problem));
    return audit.Differences() ? kExitFailed : kExitOk;
}

bool loadArchivedNames(QSet<QString>* names)
{
    QString errors;
    const bool whole = LoadArchivedReportNames(names, &errors);
    if (!errors.isEmpty())
        printError(errors);
    return whole;
}

}  // namespace cli
