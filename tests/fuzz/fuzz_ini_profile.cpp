// Parses arbitrary bytes as an INI profile, looks values up and writes one back.
#include "core/ini_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ini::Profile p = ini::Profile::parse(content);
    const QByteArray v = p.value("Comm", "Port", "2");
    long long n = 0;
    ini::parseInteger(v, &n);
    p.keys("Comm");
    p.setValue("Comm", "BaudRate", "4");
    if (ini::Profile::parse(p.serialize()).value("Comm", "BaudRate") != "4")
        __builtin_trap();
    return 0;
}
