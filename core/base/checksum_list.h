#pragma once
// Checksum lists in the line format of sha256sum: 64 hex digits, two blanks (or a blank and
// "*"), the file name, LF. A name holding a backslash, a line feed or a carriage return is
// written with a backslash before the line and those characters escaped (\\, \n, \r), as
// sha256sum does, so `sha256sum -c` checks the lists this program writes. Lines starting
// with "#" are comments; a first line "# <title>, version N" says which version of the
// program's file it is. Plain C++: the burner writes the list of a disc session with it.
// The lists are outside bytes (a disc, a file in the data folder): every line is checked.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TChecksumLine {
    std::string hex;   // 64 lower-case hex digits
    std::string name;  // the file name as the list holds it (unescaped)
};

struct TChecksumParse {
    std::vector<TChecksumLine> lines;  // the lines that are checksum lines, in order
    std::vector<int> badLines;         // numbers (from 1) of lines that are neither
    int version = 0;                   // from a "# <title>, version N" first line; 0 without one
};

// One line, LF included.
std::string FormatChecksumLine(const std::string& hex, const std::string& name);
// A header line "# <title>, version N", LF included.
std::string FormatVersionHeader(const std::string& title, int version);
// Reads a list; title is the header's title (another title's header counts as a comment).
TChecksumParse ParseChecksumList(std::string_view content, const std::string& title = std::string());

// Walks the lines of a list or of another side file of the program (LF or CR LF ends,
// empty lines and comments skipped, the first line's "# <title>, version N" read): `line` is
// called for every other line and returns false for one it cannot read.
struct TLineWalk {
    std::vector<int> badLines;
    int version = 0;
};
TLineWalk WalkListLines(std::string_view content, const std::string& title,
                        const std::function<bool(std::string_view)>& line);

// The escaping of a name in a line of the program's side files: "\" before "\", LF as "\n",
// CR as "\r", TAB as "\t" (only when `tabs`). Unescape returns false on a bad escape.
std::string EscapeName(const std::string& name, bool tabs = false);
bool UnescapeName(std::string_view text, std::string* name);
// True when the name needs escaping (so the line starts with a backslash).
bool NameNeedsEscape(const std::string& name, bool tabs = false);
