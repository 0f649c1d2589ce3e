#include "core/ini_file.h"

#include "core/safe_file.h"

#include <climits>

namespace ini {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray trimBlanks(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

bool sameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QByteArray cleanValue(QByteArray value)
{
    value = trimBlanks(value);
    if (value.size() >= 2) {
        const char first = value.front();
        if ((first == '"' || first == '\'') && value.back() == first)
            value = value.mid(1, value.size() - 2);
    }
    if (value.size() > kMaxValueLength)
        value.truncate(kMaxValueLength);
    return value;
}

}  // namespace

Profile Profile::parse(const QByteArray& content)
{
    Profile profile;
    QByteArray current;
    qsizetype pos = 0;
    while (pos < content.size()) {
        qsizetype end = content.indexOf('\n', pos);
        if (end < 0)
            end = content.size();
        QByteArray raw = content.mid(pos, end - pos);
        if (raw.endsWith('\r'))
            raw.chop(1);
        pos = end + 1;

        Line line;
        line.raw = raw;
        // A byte-order mark (editors that save UTF-8 add one) is no part of the first line.
        const bool bom = profile.lines_.isEmpty() && raw.startsWith("\xEF\xBB\xBF");
        const QByteArray text = trimBlanks(bom ? raw.mid(3) : raw);
        if (text.startsWith('[')) {
            const qsizetype close = text.indexOf(']');
            line.isSection = true;
            line.section = trimBlanks(close < 0 ? text.mid(1) : text.mid(1, close - 1));
            current = line.section;
        } else if (!text.isEmpty() && text[0] != ';') {
            const qsizetype eq = text.indexOf('=');
            if (eq > 0) {
                line.isPair = true;
                line.key = trimBlanks(text.left(eq));
                line.section = current;
            }
        }
        profile.lines_.append(line);
    }
    return profile;
}

Profile Profile::load(const QString& path)
{
    QByteArray content;
    if (!readWholeFile(path, &content))
        return {};
    return parse(content);
}

int Profile::findKeyLine(const QByteArray& section, const QByteArray& key) const
{
    for (int i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.isPair && sameName(line.section, section) && sameName(line.key, key))
            return i;
    }
    return -1;
}

bool Profile::hasValue(const QByteArray& section, const QByteArray& key) const
{
    return findKeyLine(section, key) >= 0;
}

QByteArray Profile::value(const QByteArray& section, const QByteArray& key,
                          const QByteArray& defaultValue) const
{
    const int i = findKeyLine(section, key);
    if (i < 0)
        return defaultValue;
    const QByteArray& raw = lines_[i].raw;
    return cleanValue(raw.mid(raw.indexOf('=') + 1));
}

QList<QByteArray> Profile::keys(const QByteArray& section) const
{
    QList<QByteArray> result;
    for (const Line& line : lines_) {
        if (!line.isPair || !sameName(line.section, section))
            continue;
        bool seen = false;
        for (const QByteArray& k : result)
            seen = seen || sameName(k, line.key);
        if (!seen)
            result.append(line.key);
    }
    return result;
}

bool Profile::hasSection(const QByteArray& section) const
{
    for (const Line& line : lines_)
        if (line.isSection && sameName(line.section, section))
            return true;
    return false;
}

void Profile::setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    Line pair;
    pair.raw = key + '=' + value;
    pair.key = key;
    pair.section = section;
    pair.isPair = true;

    const int existing = findKeyLine(section, key);
    if (existing >= 0) {
        pair.key = lines_[existing].key;
        pair.raw = pair.key + '=' + value;
        lines_[existing] = pair;
        return;
    }
    // Add after the last line of the section's first occurrence.
    int sectionLine = -1;
    for (int i = 0; i < lines_.size(); ++i) {
        if (lines_[i].isSection && sameName(lines_[i].section, section)) {
            sectionLine = i;
            break;
        }
    }
    if (sectionLine < 0) {
        Line header;
        header.raw = '[' + section + ']';
        header.section = section;
        header.isSection = true;
        lines_.append(header);
        lines_.append(pair);
        return;
    }
    int insertAt = sectionLine + 1;
    for (int i = sectionLine + 1; i < lines_.size() && !lines_[i].isSection; ++i)
        if (!trimBlanks(lines_[i].raw).isEmpty())
            insertAt = i + 1;
    lines_.insert(insertAt, pair);
}

QByteArray Profile::serialize() const
{
    QByteArray out;
    for (const Line& line : lines_)
        out += line.raw + "\r\n";
    return out;
}

bool parseInteger(const QByteArray& text, long long* out)
{
    const QByteArray t = trimBlanks(text);
    if (t.isEmpty())
        return false;
    bool negative = false;
    qsizetype i = 0;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        i = 1;
    }
    unsigned base = 10;
    if (t.size() - i > 2 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size())
        return false;
    unsigned long long value = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * base + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull)
            return false;
    }
    // Hexadecimal values wrap into the 32-bit range as the platform's integers do.
    long long signedValue = base == 16 ? static_cast<int32_t>(static_cast<uint32_t>(value))
                                       : static_cast<long long>(value);
    if (base == 10 && signedValue > INT_MAX + (negative ? 1LL : 0LL))
        return false;
    *out = negative ? -signedValue : signedValue;
    return true;
}

QByteArray readString(const QString& path, const QByteArray& section, const QByteArray& key,
                      const QByteArray& defaultValue)
{
    return Profile::load(path).value(section, key, defaultValue);
}

int readInteger(const QString& path, const QByteArray& section, const QByteArray& key,
                int defaultValue)
{
    const Profile profile = Profile::load(path);
    if (!profile.hasValue(section, key))
        return defaultValue;
    long long value = 0;
    if (!parseInteger(profile.value(section, key), &value))
        return defaultValue;
    return static_cast<int>(value);
}

void writeString(const QString& path, const QByteArray& section, const QByteArray& key,
                 const QByteArray& value)
{
    Profile profile = Profile::load(path);
    profile.setValue(section, key, value);
    writeFileAtomically(path, profile.serialize());
}

void writeInteger(const QString& path, const QByteArray& section, const QByteArray& key,
                  int value)
{
    writeString(path, section, key, QByteArray::number(value));
}

}  // namespace ini
