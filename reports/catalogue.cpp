#include "reports/catalogue.h"

#include "core/code_page.h"
#include "core/safe_file.h"
#include "core/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>

namespace {

constexpr const char* kFieldNames[] = {"cDateTime", "Caption", "FileName", "sType"};
constexpr char kCatalogueFileName[] = "fmList.txt";

QByteArray cut(QByteArray text, int width)
{
    if (text.size() > width)
        text.truncate(width);
    return text;
}

// The regional long time format without its time-zone name, which a Windows time
// format never carries and which would not read back.
QString longTimeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

QString shortDateFormat()
{
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}

// Two-digit years read as 1930 to 2029, as the regional settings of the platform do.
QDate fixTwoDigitYear(QDate date, const QString& format)
{
    if (date.isValid() && format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy")) &&
        date.year() < 1930)
        date = date.addYears(100);
    return date;
}

}  // namespace

QString FormatCatalogueDateTime(const QDateTime& when)
{
    const QLocale locale = QLocale::system();
    QString text = locale.toString(when.date(), shortDateFormat());
    const QTime t = when.time();
    if (t.hour() != 0 || t.minute() != 0 || t.second() != 0)
        text += QLatin1Char(' ') + locale.toString(t, longTimeFormat());
    return text;
}

bool ParseCatalogueDateTime(const QString& text, QDateTime* when)
{
    const QLocale locale = QLocale::system();
    const QString dateFormat = shortDateFormat();
    QDate date = fixTwoDigitYear(locale.toDate(text, dateFormat), dateFormat);
    if (date.isValid()) {
        *when = QDateTime(date, QTime(0, 0));
        return true;
    }
    const QString full = dateFormat + QLatin1Char(' ') + longTimeFormat();
    QDateTime dt = locale.toDateTime(text, full);
    if (!dt.isValid())
        return false;
    dt.setDate(fixTwoDigitYear(dt.date(), dateFormat));
    *when = dt;
    return true;
}

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

void TCatalogue::Append(TCatalogueEntry entry)
{
    entry.Caption = cut(entry.Caption, kCaptionWidth);
    entry.FileName = cut(entry.FileName, kFileNameWidth);
    entry.sType = cut(entry.sType, kTypeWidth);
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
    const QByteArray name = QFile::encodeName(QFileInfo(fullPath).fileName());
    if (Locate(name))
        DeleteCurrent();
    Append({when, name, QFile::encodeName(fullPath), type});
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
    std::vector<QByteArray> lines;
    qsizetype pos = 0;
    while (pos < content.size()) {
        qsizetype end = pos;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        lines.emplace_back(content.mid(pos, end - pos));
        if (end + 1 < content.size() && content[end] == '\r' && content[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    if (lines.empty())
        return;
    Clear();
    std::vector<int> columns;  // field index per header name, -1 when ignored
    for (const QByteArray& name : lines[0].split('\t')) {
        int field = -1;
        for (int f = 0; f < 4; ++f)
            if (name.compare(kFieldNames[f], Qt::CaseInsensitive) == 0)
                field = f;
        columns.push_back(field);
    }
    for (std::size_t n = 1; n < lines.size(); ++n) {
        const QList<QByteArray> texts = lines[n].split('\t');
        if (static_cast<std::size_t>(texts.size()) > columns.size()) {
            First();
            throw FileError(QStringLiteral("Line %1 of \"%2\" has more fields than its header.")
                                .arg(n + 1)
                                .arg(path));
        }
        TCatalogueEntry entry;
        for (qsizetype k = 0; k < texts.size(); ++k) {
            const QByteArray& text = texts[k];
            if (text.isEmpty() || columns[static_cast<std::size_t>(k)] < 0)
                continue;
            switch (columns[static_cast<std::size_t>(k)]) {
            case 0:
                if (!ParseCatalogueDateTime(QString::fromLocal8Bit(text), &entry.cDateTime)) {
                    First();
                    throw FileError(QStringLiteral("'%1' is not a valid date and time")
                                        .arg(QString::fromLocal8Bit(text)));
                }
                break;
            case 1: entry.Caption = text; break;
            case 2: entry.FileName = text; break;
            case 3: entry.sType = text; break;
            }
        }
        Append(std::move(entry));
    }
    First();
}

void TCatalogue::SaveCatalogue(const QString& path) const
{
    QByteArray out = QByteArray(kFieldNames[0]) + '\t' + kFieldNames[1] + '\t' + kFieldNames[2] +
                     '\t' + kFieldNames[3] + "\r\n";
    for (const TCatalogueEntry& e : entries_) {
        const QByteArray when = e.cDateTime.isValid()
                                    ? FormatCatalogueDateTime(e.cDateTime).toLocal8Bit()
                                    : QByteArray();
        out += when + '\t' + e.Caption + '\t' + e.FileName + '\t' + e.sType + "\r\n";
    }
    writeFileAtomically(path, out);
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
    case 1: return QFile::decodeName(e.Caption);
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

Tdm::Tdm(std::function<void(const QString&)> onError) : onError_(std::move(onError))
{
    const ProgramSettings& s = Settings();
    QDir dir;
    if (!QFileInfo(s.DataDir).isDir() && !dir.mkdir(s.DataDir)) {
        onError_(QStringLiteral("Cannot create data directory."));
        return;
    }
    if (!QFileInfo(s.ReportDir).isDir() && !dir.mkdir(s.ReportDir)) {
        onError_(QStringLiteral("Cannot create Report directory."));
        return;
    }
    if (QFile::exists(CatalogueFile())) {
        try {
            fmRpt.LoadCatalogue(CatalogueFile());
        } catch (const FileError& e) {
            loadFailed_ = true;
            onError_(QString::fromStdString(e.what()));
        }
    }
    open_ = true;
}

Tdm::~Tdm()
{
    if (!open_)
        return;
    try {
        Save();
    } catch (const FileError& e) {
        onError_(QString::fromStdString(e.what()));
    }
}

QString Tdm::CatalogueFile() const
{
    return Settings().DataDir + QLatin1String(kCatalogueFileName);
}

void Tdm::Save()
{
    // A catalogue that did not load whole would lose its unread lines: keep the old file.
    if (loadFailed_) {
        const QString backup = CatalogueFile() + QStringLiteral(".bak");
        QByteArray old;
        if (readWholeFile(CatalogueFile(), &old))
            writeFileAtomically(backup, old);
        loadFailed_ = false;
    }
    fmRpt.SaveCatalogue(CatalogueFile());
}
