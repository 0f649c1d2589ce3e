#include "cli/burn_archive.h"

#include "core/ini_file.h"
#include "core/settings.h"
#include "core/texts.h"
#include "reports/archive_record.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>

bool BurnChecksumsOn()
{
    return ini::readInteger(Settings().SettingsFile, "Burn", "Checksums", 1) != 0;
}

void TBurnArchive::Apply(TBurnOptions& options)
{
    options.checksumListPath.clear();
    if (!BurnChecksumsOn())
        return;
    // A folder that cannot be made gives a path that cannot be written: the burn says so.
    options.checksumListPath =
        QFile::encodeName(listDir_.isValid() ? listDir_.filePath(QStringLiteral("SHA256SUMS"))
                                             : QStringLiteral("/nonexistent/SHA256SUMS"))
            .toStdString();
}

bool TBurnArchive::Record(const TBurnReport& report, const std::string& driveLine, QString* message)
{
    message->clear();
    if (report.outcome != TBurnOutcome::Done || report.session <= 0)
        return true;  // a test write, or nothing on the disc
    if (report.discIdentity.empty()) {
        *message = QStringLiteral("The archive record was not written: the disc's first session cannot be read");
        return false;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const std::string when = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString();
    std::vector<TArchiveEntry> entries;
    for (const TSessionFile& f : report.files)
        entries.push_back({when, report.discIdentity, driveLine, report.session, f.hex, f.discName});
    return AppendArchiveRecord(ArchiveRecordFile(), entries, message);
}

QString AlreadyOnDiscText(const std::vector<std::string>& names)
{
    QStringList shown;
    for (const std::string& n : names)
        shown << QString::fromStdString(n);
    return texts::ExtraFormat("BurnAlreadyOnDisc", {shown.join(QStringLiteral(", "))});
}
