#include "core/base/checksum_list.h"

#include "core/base/sha256.h"

#include <cctype>
#include <charconv>

bool NameNeedsEscape(const std::string& name, bool tabs)
{
    for (const char c : name)
        if (c == '\\' || c == '\n' || c == '\r' || (tabs && c == '\t'))
            return true;
    return false;
}

std::string EscapeName(const std::string& name, bool tabs)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t':
            if (tabs) {
                out += "\\t";
                break;
            }
            [[fallthrough]];
        default: out += c;
        }
    }
    return out;
}

bool UnescapeName(std::string_view text, std::string* name)
{
    name->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            *name += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\': *name += '\\'; break;
        case 'n': *name += '\n'; break;
        case 'r': *name += '\r'; break;
        case 't': *name += '\t'; break;
        default: return false;
        }
    }
    return true;
}

std::string FormatChecksumLine(const std::string& hex, const std::string& name)
{
    if (NameNeedsEscape(name))
        return "\\" + hex + "  " + EscapeName(name) + "\n";
    return hex + "  " + name + "\n";
}

std::string FormatVersionHeader(const std::string& title, int version)
{
    return "# " + title + ", version " + std::to_string(version) + "\n";
}

namespace {

// The version of a header line "# <title>, version N"; 0 when it is none.
int headerVersion(std::string_view line, const std::string& title)
{
    const std::string prefix = "# " + title + ", version ";
    if (title.empty() || line.substr(0, prefix.size()) != prefix)
        return 0;
    const std::string_view digits = line.substr(prefix.size());
    int version = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), version);
    if (error != std::errc() || end != digits.data() + digits.size() || version <= 0)
        return -1;
    return version;
}

bool parseLine(std::string_view line, TChecksumLine* out)
{
    const bool escaped = !line.empty() && line.front() == '\\';
    if (escaped)
        line.remove_prefix(1);
    if (line.size() < 67 || !IsSha256Hex(line.substr(0, 64)) || line[64] != ' ' ||
        (line[65] != ' ' && line[65] != '*'))
        return false;
    out->hex.assign(line.substr(0, 64));
    for (char& c : out->hex)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string_view name = line.substr(66);
    if (escaped)
        return UnescapeName(name, &out->name) && !out->name.empty();
    out->name.assign(name);
    return true;
}

}  // namespace

TLineWalk WalkListLines(std::string_view content, const std::string& title,
                        const std::function<bool(std::string_view)>& line)
{
    TLineWalk walk;
    std::size_t pos = 0;
    for (int number = 1; pos < content.size(); ++number) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos)
            end = content.size();
        std::string_view text = content.substr(pos, end - pos);
        pos = end + 1;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);  // a file that went through an editor with CR LF ends
        if (text.empty())
            continue;
        if (text.front() == '#') {
            if (number == 1) {
                const int version = headerVersion(text, title);
                if (version < 0)
                    walk.badLines.push_back(number);
                else
                    walk.version = version;
            }
            continue;
        }
        if (!line(text))
            walk.badLines.push_back(number);
    }
    return walk;
}

TChecksumParse ParseChecksumList(std::string_view content, const std::string& title)
{
    TChecksumParse result;
    const TLineWalk walk = WalkListLines(content, title, [&result](std::string_view line) {
        TChecksumLine parsed;
        if (!parseLine(line, &parsed))
            return false;
        result.lines.push_back(std::move(parsed));
        return true;
    });
    result.badLines = walk.badLines;
    result.version = walk.version;
    return result;
}
