#include "cli/burn_archive.h"

#include "burn/drive/disc_reader.h"
#include "burn/drive/drive_commands.h"
#include "burn/iso/disc_identity.h"
#include "burn/write/disc_audit.h"
#include "core/ini_file.h"
#include "core/settings.h"
#include "reports/archive_record.h"

#include <QDateTime>
#include <QFile>

bool BurnChecksumsOn()
{
    return ini::readInteger(Settings().SettingsFile, "Burn", "Checksums", 1) != 0;
}

TBurnArchive::TBurnArchive(TIsoTables& tables) : tables_(tables)
{
    if (BurnChecksumsOn())
        checksums_ = std::make_unique<TSessionChecksums>(tables_);
}

bool TBurnArchive::Prepare(std::string* error)
{
    if (!checksums_)
        return HashNewFiles(tables_, &files_, error);
    if (!listDir_.isValid()) {
        *error = "CANNOT WRITE THE CHECKSUM LIST (" + listDir_.errorString().toStdString() + ")";
        return false;
    }
    return checksums_->Add(QFile::encodeName(listDir_.filePath(QStringLiteral("SHA256SUMS"))).toStdString(), error);
}

const std::vector<TSessionFile>& TBurnArchive::Files() const
{
    return checksums_ ? checksums_->Files() : files_;
}

std::vector<std::string> TBurnArchive::AlreadyOnDisc(TDriveCommands& drive) const
{
    return FilesAlreadyOnDisc(drive, Files());
}

bool TBurnArchive::Record(TDriveCommands& drive, const std::string& driveLine, QString* message) const
{
    TDriveDiscReader reader(drive);
    std::string disc;
    if (!ReadDiscIdentity(reader, &disc)) {
        *message = QStringLiteral("The archive record was not written: the disc's first session cannot be read");
        return false;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const std::string when = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString();
    const int session = reader.LastSessionNumber();
    std::vector<TArchiveEntry> entries;
    for (const TSessionFile& f : Files())
        entries.push_back({when, disc, driveLine, session, f.hex, f.discName});
    return AppendArchiveRecord(ArchiveRecordFile(), entries, message);
}

QString AlreadyOnDiscText(const std::vector<std::string>& names)
{
    QStringList shown;
    for (const std::string& n : names)
        shown << QString::fromStdString(n);
    return QStringLiteral("Already on the disc unchanged: %1").arg(shown.join(QStringLiteral(", ")));
}
