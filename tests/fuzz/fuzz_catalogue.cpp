// Loads arbitrary bytes as fmList.txt and writes the catalogue back.
#include "core/safe_file.h"
#include "reports/catalogue.h"

#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TCatalogue c;
    try {
        c.LoadCatalogueContent(content, QStringLiteral("fmList.txt"));
    } catch (const FileError&) {
    }
    c.SaveCatalogue(dir.path() + QStringLiteral("/fmList.txt"));
    return 0;
}
