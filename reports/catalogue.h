#pragma once
// The report catalogue fmRpt: an ordered list of entries with one current entry, loaded
// from and written to fmList.txt (TAB-separated, header line first), and Tdm, the data
// module that holds it from start-up to exit.

#include "reports/catalogue_dates.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <functional>
#include <vector>

struct TCatalogueEntry {
    QDateTime cDateTime;
    QByteArray Caption;   // at most 50 bytes
    QByteArray FileName;  // at most 200 bytes
    QByteArray sType;     // at most 20 bytes
};

inline constexpr int kCaptionWidth = 50;
inline constexpr int kFileNameWidth = 200;
inline constexpr int kTypeWidth = 20;

class TCatalogue : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TCatalogue(QObject* parent = nullptr);

    // Table operations.
    int Count() const { return static_cast<int>(entries_.size()); }
    bool IsEmpty() const { return entries_.empty(); }
    const TCatalogueEntry& Entry(int i) const { return entries_[static_cast<std::size_t>(i)]; }
    const std::vector<TCatalogueEntry>& Entries() const { return entries_; }
    int Current() const { return current_; }  // -1 when empty
    void SetCurrent(int i);
    void First() { SetCurrent(entries_.empty() ? -1 : 0); }
    // Appends (fields cut to their widths) and makes the new entry current.
    void Append(TCatalogueEntry entry);
    // Replaces all entries (already cut) at once; the entry at `current` becomes current.
    void SetEntries(std::vector<TCatalogueEntry> entries, int current = 0);
    // Makes the first entry whose Caption equals text (letter case ignored) current.
    bool Locate(const QByteArray& caption);
    // Deletes the current entry; the next (or, at the end, the previous) becomes current.
    void DeleteCurrent();
    void Clear();
    // Replaces the entry of a report file (by its name) with a new last one.
    void AddReport(const QString& fullPath, const QByteArray& type, const QDateTime& when);

    // fmList.txt. LoadCatalogue throws FileError at a line that does not convert; the
    // entries before it stay. SaveCatalogue throws FileError when it cannot write.
    void LoadCatalogue(const QString& path);
    // The same on the file's content; source names the file in error messages.
    void LoadCatalogueContent(const QByteArray& content, const QString& source);
    void SaveCatalogue(const QString& path) const;
    // The text SaveCatalogue writes.
    QByteArray CatalogueContent() const;
    // Reads fmList.txt content into entries without touching a table; returns the error
    // message of the line that does not convert (the entries before it are kept), or an
    // empty string.
    static QString ParseCatalogue(const QByteArray& content, const QString& source,
                                  std::vector<TCatalogueEntry>* entries);
    // Cuts the fields to their widths without splitting a character.
    static void CutFields(TCatalogueEntry& entry);

    // The reports archived on a disc at least once, by the case-folded file name of their
    // FileName: the view marks their names. Nothing of it goes into fmList.txt.
    void SetArchived(QSet<QString> names);
    bool IsArchived(int row) const;
    // The case-folded name of the entry's report file, as the archive record keys it.
    static QString ReportNameKey(const TCatalogueEntry& entry);

    // Catalogue view: columns sType, Caption, cDateTime.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void SetColumnTitles(const QString& type, const QString& name, const QString& dateTime);

signals:
    void currentChanged(int row);

private:
    std::vector<TCatalogueEntry> entries_;
    int current_ = -1;
    QSet<QString> archived_;
    QString titles_[3] = {QStringLiteral("Type"), QStringLiteral("Name"), QStringLiteral("DateTime")};
};

// The data module: creates the data and report directories and loads the catalogue at
// creation; writes it at destruction. Errors go to onError (the standard error box).
// Several instances of the program may share the program folder: the catalogue is written
// under a lock, merged with what the others wrote since it was loaded.
enum class TdmMode {
    Write,     // the program and the downloads
    ReadOnly,  // the listing: creates no directory and never writes the catalogue
};

// The lock file under which fmList.txt and the side files beside it are merged and written.
QString CatalogueLockFile();

class Tdm {
public:
    explicit Tdm(std::function<void(const QString&)> onError, TdmMode mode = TdmMode::Write);
    ~Tdm();
    Tdm(const Tdm&) = delete;
    Tdm& operator=(const Tdm&) = delete;

    TCatalogue fmRpt;
    bool IsOpen() const { return open_; }
    QString CatalogueFile() const;
    // Writes the catalogue now, merged with what other instances wrote. Throws FileError
    // ("Unable to write to <path>") when it cannot be written; the old file then stays.
    void Save();
    // Saves and closes the table, so that the destructor writes nothing more (a command
    // that must know whether its entry was written calls it).
    void Close();

private:
    std::function<void(const QString&)> onError_;
    bool readOnly_ = false;
    bool open_ = false;
    std::vector<TCatalogueEntry> loaded_;  // the entries as loaded or last saved
};
