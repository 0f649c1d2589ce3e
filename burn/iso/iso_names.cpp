// The name rules of the session's tables: 8.3 names and their aliases, upper case, the
// 13-character short names of directories, Joliet identifiers and UCS-2.

#include "burn/iso/iso_tables.h"

#include <algorithm>
#include <cstring>

namespace {

// The characters of a UTF-8 text, each as its own UTF-8 bytes.
std::vector<std::string> utf8Characters(const std::string& text)
{
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80 && n < 4)
            ++n;
        chars.push_back(text.substr(i, n));
        i += n;
    }
    return chars;
}

bool valid83Char(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

}  // namespace

std::string Ucs2BigEndian(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned code;
        std::size_t n;
        if (c < 0x80) { code = c; n = 1; }
        else if ((c & 0xE0) == 0xC0) { code = c & 0x1F; n = 2; }
        else if ((c & 0xF0) == 0xE0) { code = c & 0x0F; n = 3; }
        else if ((c & 0xF8) == 0xF0) { code = 0x10000; n = 4; }
        else { code = '_'; n = 1; }
        for (std::size_t k = 1; k < n && code != 0x10000; ++k) {
            if (i + k >= utf8.size() || (static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
                code = '_';
                n = k;
                break;
            }
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (code > 0xFFFF)
            code = '_';
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
        i += std::max<std::size_t>(n, 1);
    }
    return out;
}

std::string Utf8FromUcs2(const uint8_t* p, std::size_t bytes)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const unsigned c = (p[i] << 8) | p[i + 1];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int DirectoryLevel(const TDEntry* dir)
{
    int level = 0;
    for (; dir && dir->parent && dir->parent != dir; dir = dir->parent)  // the root is its own parent
        ++level;
    return level;
}

std::string JolietNameOnDisc(const std::string& name)
{
    const std::string ucs = Ucs2BigEndian(name);
    return Utf8FromUcs2(reinterpret_cast<const uint8_t*>(ucs.data()), ucs.size());
}

std::string JolietPathOnDisc(const std::string& path)
{
    std::string out;
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t end = std::min(path.find('\\', from), path.size());
        out += JolietNameOnDisc(path.substr(from, end - from));
        if (end < path.size())
            out += '\\';
        from = end + 1;
    }
    return out;
}

std::size_t Ucs2Length(const std::string& utf8)
{
    return Ucs2BigEndian(utf8).size() / 2;
}

std::string TIsoTables::Upper(const std::string& s)
{
    std::string u = s;
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return u;
}

bool TIsoTables::IsValid83(const std::string& name)
{
    const std::size_t dot = name.find('.');
    if (dot != name.rfind('.'))
        return false;
    const std::string base = name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3)
        return false;
    for (char c : base + ext)
        if (!valid83Char(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string TIsoTables::ShortNameOf13(const std::string& name)
{
    std::string s = Upper(name.substr(0, 13));
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 33 || static_cast<unsigned char>(c) > 122)
            c = '_';
    return s;
}

bool TIsoTables::IsoNameUsed(const TDEntry& dir, const std::string& name)
{
    auto range = dir.byIsoName.equal_range(IsoNameHash(name));
    for (auto it = range.first; it != range.second; ++it)
        if (it->second->isoName == name)
            return true;
    return false;
}

TFEntry* TIsoTables::FindByLongName(const TDEntry& dir, const std::string& longName)
{
    auto range = dir.byLongName.equal_range(IsoNameHash(longName));
    for (auto it = range.first; it != range.second; ++it)
        if (it->second->longName == longName)
            return it->second;
    return nullptr;
}

std::string TIsoTables::UniqueIsoName(TDEntry& dir, const std::string& wanted, bool alias) const
{
    if (!alias && !IsoNameUsed(dir, wanted))
        return wanted;
    // An alias in the style of generated short names: the first characters, "~" and a
    // number, then up to three characters of the extension.
    const std::size_t dot = wanted.rfind('.');
    const std::string base = dot == std::string::npos ? wanted : wanted.substr(0, dot);
    std::string ext = dot == std::string::npos ? std::string() : wanted.substr(dot);
    std::string cleaned;
    for (char c : base)
        if (c != ' ' && c != '.')
            cleaned += valid83Char(static_cast<unsigned char>(c)) ? c : '_';
    if (cleaned.empty())
        cleaned = "_";
    std::string cleanedExt;
    for (std::size_t i = 1; i < ext.size() && cleanedExt.size() < 3; ++i)
        if (ext[i] != ' ' && ext[i] != '.')
            cleanedExt += valid83Char(static_cast<unsigned char>(ext[i])) ? ext[i] : '_';
    ext = dot == std::string::npos ? std::string() : "." + cleanedExt;
    const std::string key = cleaned.substr(0, 6) + ext;
    int& next = dir.aliasNext[key];
    for (;;) {
        const std::string suffix = "~" + std::to_string(++next);
        const std::string candidate = cleaned.substr(0, 8 - std::min<std::size_t>(suffix.size(), 7)) + suffix + ext;
        if (!IsoNameUsed(dir, candidate))
            return candidate;
    }
}

std::string TIsoTables::JolietNameFor(TDEntry& dir, const std::string& longName)
{
    const std::vector<std::string> chars = utf8Characters(longName);
    if (chars.size() <= kJolietNameLimit && !dir.jolietCut.count(longName))
        return {};
    // The extension (a dot within the last 16 characters) survives the cut.
    std::size_t dot = chars.size();
    for (std::size_t i = chars.size(); i-- > 1 && chars.size() - i <= 16;)
        if (chars[i] == ".") {
            dot = i;
            break;
        }
    std::string ext;
    for (std::size_t i = dot; i < chars.size(); ++i)
        ext += chars[i];
    const std::size_t extLength = chars.size() - dot;
    for (int n = 0;; ++n) {
        const std::string suffix = n == 0 ? std::string() : "~" + std::to_string(n);
        const std::size_t keep = std::min(dot, kJolietNameLimit - extLength - suffix.size());
        std::string candidate;
        for (std::size_t i = 0; i < keep; ++i)
            candidate += chars[i];
        candidate += suffix + ext;
        // Names that differ by case are different names, as in the tables.
        if (candidate != longName && !FindByLongName(dir, candidate) && !dir.jolietCut.count(candidate)) {
            dir.jolietCut.insert(candidate);
            return candidate;
        }
    }
}
