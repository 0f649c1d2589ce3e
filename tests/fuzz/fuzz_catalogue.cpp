// Loads arbitrary bytes as fmList.txt and turns the catalogue back into the file's text.
#include "core/safe_file.h"
#include "reports/catalogue.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TCatalogue c;
    try {
        c.LoadCatalogueContent(content, QStringLiteral("fmList.txt"));
    } catch (const FileError&) {
    }
    const QByteArray written = c.CatalogueContent();
    std::vector<TCatalogueEntry> again;
    TCatalogue::ParseCatalogue(written, QStringLiteral("fmList.txt"), &again);
    return 0;
}
