// Reads arbitrary bytes as a checksum list (a disc session's SHA256SUMS, data/fmList.sha256)
// and as the archive record, writes what was read back and reads it again: the same lines.
#include "core/base/checksum_list.h"
#include "reports/archive_record.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const TChecksumParse list = ParseChecksumList(content, "vobrelfm report checksums");
    std::string written;
    for (const TChecksumLine& line : list.lines)
        written += FormatChecksumLine(line.hex, line.name);
    const TChecksumParse again = ParseChecksumList(written);
    if (again.lines.size() != list.lines.size() || !again.badLines.empty())
        std::abort();
    for (std::size_t i = 0; i < list.lines.size(); ++i)
        if (again.lines[i].name != list.lines[i].name || again.lines[i].hex != list.lines[i].hex)
            std::abort();

    WalkListLines(content, kArchiveRecordTitle, [](std::string_view line) {
        TArchiveEntry entry;
        if (!ParseArchiveLine(line, &entry))
            return false;
        std::string text = FormatArchiveLine(entry);
        text.pop_back();  // the LF
        TArchiveEntry back;
        if (!ParseArchiveLine(text, &back) || back.name != entry.name || back.drive != entry.drive ||
            back.session != entry.session || back.hex != entry.hex)
            std::abort();
        return true;
    });
    return 0;
}
