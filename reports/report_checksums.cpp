#include "reports/report_checksums.h"

#include "core/settings.h"
#include "reports/side_file.h"

namespace {

QString newerText(const QString& path, int version)
{
    return QStringLiteral("\"%1\" was written by a newer version of the program (version %2); it is left as it is")
        .arg(path)
        .arg(version);
}

QString damagedText(const QString& path, const TChecksumParse& parsed)
{
    return QStringLiteral("\"%1\": line %2 is no checksum line (%3 such lines)")
        .arg(path)
        .arg(parsed.badLines.front())
        .arg(parsed.badLines.size());
}

}  // namespace

QString ReportChecksumsFile()
{
    return Settings().DataDir + QStringLiteral("fmList.sha256");
}

QString ChecksumNameKey(const std::string& name)
{
    return QString::fromStdString(name).toCaseFolded();
}

bool TReportChecksums::Load(const QString& path, QString* error)
{
    lines_.clear();
    const TSideFileRead file = ReadSideFile(path);
    if (file.status == TSideFileStatus::Unreadable) {
        *error = file.error;
        return false;
    }
    TChecksumParse parsed = ParseChecksumList(file.content, kReportChecksumsTitle);
    if (parsed.version > kReportChecksumsVersion) {
        *error = newerText(path, parsed.version);
        return false;
    }
    lines_ = std::move(parsed.lines);
    if (!parsed.badLines.empty()) {
        *error = damagedText(path, parsed);
        return false;
    }
    return true;
}

const TChecksumLine* TReportChecksums::Find(const std::string& name) const
{
    const QString key = ChecksumNameKey(name);
    // The newest line of a name is the last one.
    for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
        if (it->name == name || ChecksumNameKey(it->name) == key)
            return &*it;
    return nullptr;
}

bool RecordReportChecksum(const QString& path, const std::string& name, const std::string& hex, QString* message)
{
    message->clear();
    return UpdateSideFile(path, [&](const TSideFileRead& old, std::string* next, QString* error) {
        const TChecksumParse parsed = ParseChecksumList(old.content, kReportChecksumsTitle);
        if (parsed.version > kReportChecksumsVersion) {
            *error = newerText(path, parsed.version);
            return false;
        }
        if (!parsed.badLines.empty()) {
            // Lines that do not read would be lost: the whole old file stays beside it.
            if (!KeepDamagedCopy(path, old.content, error))
                return false;
            *error = damagedText(path, parsed) + QStringLiteral("; the old file is kept in %1.bak").arg(path);
        }
        const QString key = ChecksumNameKey(name);
        *next = FormatVersionHeader(kReportChecksumsTitle, kReportChecksumsVersion);
        for (const TChecksumLine& line : parsed.lines)
            if (ChecksumNameKey(line.name) != key)
                *next += FormatChecksumLine(line.hex, line.name);
        *next += FormatChecksumLine(hex, name);
        return true;
    }, message);
}
