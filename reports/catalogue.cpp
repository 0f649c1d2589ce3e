#include "reports/catalogue.h"

#include "core/code_page.h"
#include "core/base/file_lock.h"
#include "core/safe_file.h"
#include "core/settings.h"
#include "reports/catalogue_merge.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {

constexpr const char* kFieldNames[] = {"cDateTime", "Caption", "FileName", "sType"};
constexpr char kCatalogueFileName[] = "fmList.txt";
constexpr char kLockFileName[] = "fmList.lock";

// A field text as an error message may show it: a long one is cut.
QString shown(const QByteArray& text)
{
    constexpr int kShown = 60;
    const QString t = QString::fromLocal8Bit(CutLocalText(text, kShown));
    return text.size() > kShown ? t + QStringLiteral("...") : t;
}

// Creates one directory level; one that exists already (made by another instance a
// moment ago) is no failure.
bool makeDirectory(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    return ::mkdir(native.constData(), 0777) == 0 || (errno == EEXIST && QFileInfo(path).isDir());
}

}  // namespace

TCatalogue::TCatalogue(QObject* parent) : QAbstractTableModel(parent) {}

void TCatalogue::SetCurrent(int i)
{
    const int old = current_;
    current_ = entries_.empty() ? -1 : std::clamp(i, 0, Count() - 1);
    // The row indicator moves: both rows' markers are repainted, so one row shows it.
    if (old >= 0 && old < Count() && old != current_)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (current_ >= 0)
        emit headerDataChanged(Qt::Vertical, current_, current_);
    emit currentChanged(current_);
}

void TCatalogue::CutFields(TCatalogueEntry& entry)
{
    entry.Caption = CutEncodedText(entry.Caption, kCaptionWidth);
    entry.FileName = CutLocalText(entry.FileName, kFileNameWidth);
    entry.sType = CutEncodedText(entry.sType, kTypeWidth);
}

void TCatalogue::SetEntries(std::vector<TCatalogueEntry> entries, int current)
{
    beginResetModel();
    entries_ = std::move(entries);
    current_ = entries_.empty() ? -1 : std::clamp(current, 0, Count() - 1);
    endResetModel();
    emit currentChanged(current_);
}

void TCatalogue::Append(TCatalogueEntry entry)
{
    CutFields(entry);
    beginInsertRows({}, Count(), Count());
    entries_.push_back(std::move(entry));
    endInsertRows();
    SetCurrent(Count() - 1);
}

bool TCatalogue::Locate(const QByteArray& caption)
{
    const QString wanted = DecodeText(caption);
    for (int i = 0; i < Count(); ++i) {
        if (DecodeText(entries_[static_cast<std::size_t>(i)].Caption).compare(wanted, Qt::CaseInsensitive) == 0) {
            SetCurrent(i);
            return true;
        }
    }
    return false;
}

void TCatalogue::DeleteCurrent()
{
    if (current_ < 0 || current_ >= Count())
        return;
    const int row = current_;
    beginRemoveRows({}, row, row);
    entries_.erase(entries_.begin() + row);
    endRemoveRows();
    SetCurrent(row < Count() ? row : Count() - 1);
}

void TCatalogue::Clear()
{
    beginResetModel();
    entries_.clear();
    current_ = -1;
    endResetModel();
}

void TCatalogue::AddReport(const QString& fullPath, const QByteArray& type, const QDateTime& when)
{
    // The caption is text in the code page like the rest of fmList.txt; the path stays in
    // the user's locale, the name the file has on disk.
    const QByteArray caption = EncodeText(QFileInfo(fullPath).fileName());
    if (Locate(caption))
        DeleteCurrent();
    Append({when, caption, QFile::encodeName(fullPath), type});
}

void TCatalogue::LoadCatalogue(const QString& path)
{
    QByteArray content;
    if (!readWholeFile(path, &content))
        throw FileError(QStringLiteral("Cannot open file \"%1\".").arg(path));
    LoadCatalogueContent(content, path);
}

void TCatalogue::LoadCatalogueContent(const QByteArray& content, const QString& path)
{
    std::vector<TCatalogueEntry> entries;
    const QString error = ParseCatalogue(content, path, &entries);
    if (entries.empty() && error.isEmpty() && content.isEmpty())
        return;  // a file without lines changes nothing
    SetEntries(std::move(entries));
    if (!error.isEmpty())
        throw FileError(error);
}

QString TCatalogue::ParseCatalogue(const QByteArray& content, const QString& path,
                                   std::vector<TCatalogueEntry>* entries)
{
    entries->clear();
    const TCatalogueDateFormat dates;
    std::vector<int> columns;  // field index per header name, -1 when ignored
    qsizetype pos = 0;
    for (int lineNumber = 1; pos < content.size(); ++lineNumber) {
        qsizetype end = pos;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        const QByteArrayView line(content.constData() + pos, end - pos);
        if (end + 1 < content.size() && content[end] == '\r' && content[end + 1] == '\n')
            ++end;
        pos = end + 1;
        if (lineNumber == 1) {
            for (const QByteArray& name : line.toByteArray().split('\t')) {
                int field = -1;
                for (int f = 0; f < 4; ++f)
                    if (name.compare(kFieldNames[f], Qt::CaseInsensitive) == 0)
                        field = f;
                columns.push_back(field);
            }
            continue;
        }
        TCatalogueEntry entry;
        std::size_t k = 0;
        for (qsizetype start = 0; start <= line.size(); ++k) {
            qsizetype stop = line.indexOf('\t', start);
            if (stop < 0)
                stop = line.size();
            if (k >= columns.size())
                return QStringLiteral("Line %1 of \"%2\" has more fields than its header.").arg(lineNumber).arg(path);
            const QByteArrayView text = line.sliced(start, stop - start);
            start = stop + 1;
            if (text.isEmpty() || columns[k] < 0)
                continue;
            switch (columns[k]) {
            case 0:
                if (!dates.Parse(QString::fromLocal8Bit(text), &entry.cDateTime))
                    return QStringLiteral("'%1' is not a valid date and time").arg(shown(text.toByteArray()));
                break;
            case 1: entry.Caption = text.toByteArray(); break;
            case 2: entry.FileName = text.toByteArray(); break;
            case 3: entry.sType = text.toByteArray(); break;
            }
        }
        CutFields(entry);
        entries->push_back(std::move(entry));
    }
    return {};
}

void TCatalogue::SaveCatalogue(const QString& path) const
{
    writeFileAtomically(path, CatalogueContent());
}

QByteArray TCatalogue::CatalogueContent() const
{
    QByteArray out = QByteArray(kFieldNames[0]) + '\t' + kFieldNames[1] + '\t' + kFieldNames[2] +
                     '\t' + kFieldNames[3] + "\r\n";
    const TCatalogueDateFormat dates;
    for (const TCatalogueEntry& e : entries_) {
        const QByteArray when = e.cDateTime.isValid() ? dates.Format(e.cDateTime).toLocal8Bit() : QByteArray();
        out += when + '\t' + e.Caption + '\t' + e.FileName + '\t' + e.sType + "\r\n";
    }
    return out;
}

void TCatalogue::SetArchived(QSet<QString> names)
{
    archived_ = std::move(names);
    if (!entries_.empty())
        emit dataChanged(index(0, 1), index(Count() - 1, 1));
}

bool TCatalogue::IsArchived(int row) const
{
    return !archived_.isEmpty() && row >= 0 && row < Count() && archived_.contains(ReportNameKey(Entry(row)));
}

QString TCatalogue::ReportNameKey(const TCatalogueEntry& entry)
{
    return QFile::decodeName(entry.FileName).section(QLatin1Char('/'), -1).toCaseFolded();
}

int TCatalogue::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

int TCatalogue::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant TCatalogue::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count() || role != Qt::DisplayRole)
        return {};
    const TCatalogueEntry& e = Entry(index.row());
    switch (index.column()) {
    case 0: return DecodeText(e.sType);
    case 1: return IsArchived(index.row()) ? DecodeText(e.Caption) + QStringLiteral(" \u2713") : DecodeText(e.Caption);
    case 2: return e.cDateTime.isValid() ? FormatCatalogueDateTime(e.cDateTime) : QString();
    }
    return {};
}

QVariant TCatalogue::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section == current_ ? QStringLiteral("\u25B6") : QString();
    return section >= 0 && section < 3 ? titles_[section] : QString();
}

void TCatalogue::SetColumnTitles(const QString& type, const QString& name, const QString& dateTime)
{
    titles_[0] = type;
    titles_[1] = name;
    titles_[2] = dateTime;
    emit headerDataChanged(Qt::Horizontal, 0, 2);
}

Tdm::Tdm(std::function<void(const QString&)> onError, TdmMode mode)
    : onError_(std::move(onError)), readOnly_(mode == TdmMode::ReadOnly)
{
    const ProgramSettings& s = Settings();
    if (!readOnly_ && !makeDirectory(s.DataDir)) {
        onError_(QStringLiteral("Cannot create data directory."));
        return;
    }
    if (!readOnly_ && !makeDirectory(s.ReportDir)) {
        onError_(QStringLiteral("Cannot create Report directory."));
        return;
    }
    if (QFileInfo::exists(CatalogueFile())) {
        try {
            fmRpt.LoadCatalogue(CatalogueFile());
        } catch (const FileError& e) {
            onError_(QString::fromStdString(e.what()));
        }
    }
    loaded_ = fmRpt.Entries();
    open_ = true;
}

Tdm::~Tdm()
{
    if (!open_ || readOnly_)
        return;
    try {
        Close();
    } catch (const FileError& e) {
        onError_(QString::fromStdString(e.what()));
    }
}

QString CatalogueLockFile()
{
    return Settings().DataDir + QLatin1String(kLockFileName);
}

QString Tdm::CatalogueFile() const
{
    return Settings().DataDir + QLatin1String(kCatalogueFileName);
}

void Tdm::Close()
{
    if (!open_ || readOnly_)
        return;
    open_ = false;
    Save();
}

void Tdm::Save()
{
    if (readOnly_)
        return;
    // Another instance on this program folder may have written the catalogue since it was
    // loaded here: under the lock, read it again, merge, write.
    TFileLock lock(QFile::encodeName(CatalogueLockFile()).toStdString());
    if (!lock.Locked())
        throw FileError(QStringLiteral("Unable to write to %1").arg(CatalogueFile()));
    // A file that is gone or cannot be read tells nothing of other instances: nothing to
    // merge (writing over a file that is no regular one is refused below).
    std::vector<TCatalogueEntry> onDisk = loaded_;
    QByteArray content;
    if (readWholeFile(CatalogueFile(), &content) &&
        !TCatalogue::ParseCatalogue(content, CatalogueFile(), &onDisk).isEmpty()) {
        // Lines that do not load would be lost: keep the whole old file beside it.
        writeFileAtomically(CatalogueFile() + QStringLiteral(".bak"), content);
    }
    fmRpt.SetEntries(MergeCatalogues(loaded_, fmRpt.Entries(), onDisk), fmRpt.Current());
    fmRpt.SaveCatalogue(CatalogueFile());
    loaded_ = fmRpt.Entries();
}
