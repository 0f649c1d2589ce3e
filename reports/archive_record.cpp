#include "reports/archive_record.h"

#include "core/base/checksum_list.h"
#include "core/settings.h"
#include "core/base/sha256.h"
#include "reports/report_checksums.h"
#include "reports/side_file.h"

#include <charconv>
#include <string_view>

namespace {

struct TRecordParse {
    std::vector<TArchiveEntry> entries;
    std::vector<int> badLines;
    int version = 0;
};

TRecordParse parseRecord(std::string_view content)
{
    TRecordParse result;
    const TLineWalk walk = WalkListLines(content, kArchiveRecordTitle, [&result](std::string_view line) {
        TArchiveEntry entry;
        if (!ParseArchiveLine(line, &entry))
            return false;
        result.entries.push_back(std::move(entry));
        return true;
    });
    result.badLines = walk.badLines;
    result.version = walk.version;
    return result;
}

QString newerText(const QString& path, int version)
{
    return QStringLiteral("\"%1\" was written by a newer version of the program (version %2); it is left as it is")
        .arg(path)
        .arg(version);
}

QString damagedText(const QString& path, const TRecordParse& parsed)
{
    return QStringLiteral("\"%1\": line %2 is no archive record line (%3 such lines)")
        .arg(path)
        .arg(parsed.badLines.front())
        .arg(parsed.badLines.size());
}

}  // namespace

QString ArchiveRecordFile()
{
    return Settings().DataDir + QStringLiteral("fmArchive.txt");
}

std::string FormatArchiveLine(const TArchiveEntry& e)
{
    return EscapeName(e.when, true) + '\t' + EscapeName(e.disc, true) + '\t' + EscapeName(e.drive, true) + '\t' +
           std::to_string(e.session) + '\t' + e.hex + '\t' + EscapeName(e.name, true) + '\n';
}

bool ParseArchiveLine(std::string_view line, TArchiveEntry* e)
{
    std::string_view fields[6];
    for (int i = 0; i < 6; ++i) {
        const std::size_t tab = line.find('\t');
        if ((tab == std::string_view::npos) != (i == 5))
            return false;
        fields[i] = line.substr(0, tab);
        if (i < 5)
            line.remove_prefix(tab + 1);
    }
    int session = 0;
    const auto [stop, error] = std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), session);
    if (error != std::errc() || stop != fields[3].data() + fields[3].size() || session <= 0 || !IsSha256Hex(fields[4]))
        return false;
    e->session = session;
    e->hex.assign(fields[4]);
    return UnescapeName(fields[0], &e->when) && UnescapeName(fields[1], &e->disc) &&
           UnescapeName(fields[2], &e->drive) && UnescapeName(fields[5], &e->name) && !e->name.empty();
}

bool LoadArchiveRecord(const QString& path, std::vector<TArchiveEntry>* entries, QString* error)
{
    entries->clear();
    const TSideFileRead file = ReadSideFile(path);
    if (file.status == TSideFileStatus::Unreadable) {
        *error = file.error;
        return false;
    }
    TRecordParse parsed = parseRecord(file.content);
    if (parsed.version > kArchiveRecordVersion) {
        *error = newerText(path, parsed.version);
        return false;
    }
    *entries = std::move(parsed.entries);
    if (!parsed.badLines.empty()) {
        *error = damagedText(path, parsed);
        return false;
    }
    return true;
}

bool AppendArchiveRecord(const QString& path, const std::vector<TArchiveEntry>& entries, QString* message)
{
    message->clear();
    return UpdateSideFile(path, [&](const TSideFileRead& old, std::string* next, QString* error) {
        const TRecordParse parsed = parseRecord(old.content);
        if (parsed.version > kArchiveRecordVersion) {
            *error = newerText(path, parsed.version);
            return false;
        }
        *next = FormatVersionHeader(kArchiveRecordTitle, kArchiveRecordVersion);
        if (!parsed.badLines.empty()) {
            if (!KeepDamagedCopy(path, old.content, error))
                return false;
            *error = damagedText(path, parsed) + QStringLiteral("; the old file is kept in %1.bak").arg(path);
            for (const TArchiveEntry& e : parsed.entries)
                *next += FormatArchiveLine(e);
        } else {
            // The old lines as they are (the header replaced by this version's).
            const std::size_t firstLine = old.content.rfind('#', 0) == 0 ? old.content.find('\n') : 0;
            if (firstLine != std::string::npos)
                next->append(old.content, firstLine == 0 ? 0 : firstLine + 1);
            if (!next->empty() && next->back() != '\n')
                *next += '\n';
        }
        for (const TArchiveEntry& e : entries)
            *next += FormatArchiveLine(e);
        return true;
    }, message);
}

QSet<QString> ArchivedReportNames(const std::vector<TArchiveEntry>& record, const TReportChecksums& sums)
{
    QSet<QString> names;
    for (const TArchiveEntry& e : record) {
        const TChecksumLine* downloaded = sums.Find(e.name);
        if (!downloaded || downloaded->hex == e.hex)
            names.insert(ChecksumNameKey(e.name));
    }
    return names;
}

bool LoadArchivedReportNames(QSet<QString>* names, QString* errors)
{
    TReportChecksums sums;
    std::vector<TArchiveEntry> record;
    QString sumsError, recordError;
    const bool whole = sums.Load(ReportChecksumsFile(), &sumsError) & LoadArchiveRecord(ArchiveRecordFile(), &record, &recordError);
    QStringList messages;
    for (const QString& m : {sumsError, recordError})
        if (!m.isEmpty())
            messages << m;
    *errors = messages.join('\n');
    *names = ArchivedReportNames(record, sums);
    return whole;
}
