#pragma once
// Reads and writes INI profiles (SYSTEM.CFG, language files) with the rules of the
// Windows private-profile calls: case-insensitive names, trimmed values, one pair of
// enclosing quotes removed, values cut at 2047 characters, a missing file, section or
// key giving the caller's default. Values are kept as bytes (8-bit text).

#include <QByteArray>
#include <QList>
#include <QString>

namespace ini {

constexpr int kMaxValueLength = 2047;

// One parsed profile. Parsing never fails: lines that are neither a section header
// nor a key=value pair are kept for writing back and otherwise ignored.
class Profile {
public:
    static Profile parse(const QByteArray& content);
    // Loads a file; a missing or unreadable file gives an empty profile.
    static Profile load(const QString& path);

    bool hasValue(const QByteArray& section, const QByteArray& key) const;
    QByteArray value(const QByteArray& section, const QByteArray& key,
                     const QByteArray& defaultValue = {}) const;
    // Key names of a section in file order (duplicates once, first wins).
    QList<QByteArray> keys(const QByteArray& section) const;
    bool hasSection(const QByteArray& section) const;

    // Replaces the value of the first matching key or adds the key (and the section).
    void setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    QByteArray serialize() const;

private:
    struct Line {
        QByteArray raw;      // the line as read, without its line end
        QByteArray section;  // section header name, when this line is one
        QByteArray key;      // key name, when this line is a key=value pair
        bool isSection = false;
        bool isPair = false;
    };
    int findKeyLine(const QByteArray& section, const QByteArray& key) const;
    QList<Line> lines_;
};

// Parses an integer in decimal or 0x-hexadecimal (the whole trimmed value); false if it is none.
bool parseInteger(const QByteArray& text, long long* out);

QByteArray readString(const QString& path, const QByteArray& section, const QByteArray& key,
                      const QByteArray& defaultValue);
int readInteger(const QString& path, const QByteArray& section, const QByteArray& key,
                int defaultValue);
// Writes one key, creating the file and the section as needed. Throws FileError
// ("Unable to write to <path>") when the file cannot be written.
void writeString(const QString& path, const QByteArray& section, const QByteArray& key,
                 const QByteArray& value);
void writeInteger(const QString& path, const QByteArray& section, const QByteArray& key,
                  int value);

}  // namespace ini
