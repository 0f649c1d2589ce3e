#include "burn/transport/sense_text.h"

#include <cctype>
#include <cstring>
#include <scsi/sg_lib.h>

std::string AdditionalSenseText(uint8_t asc, uint8_t ascq)
{
    char buffer[256] = {};
    sg_get_asc_ascq_str(asc, ascq, sizeof buffer, buffer);
    std::string text = buffer;
    static const char kPrefix[] = "Additional sense: ";
    const bool known = text.rfind(kPrefix, 0) == 0;
    if (!known)
        return std::to_string(asc) + "," + std::to_string(ascq);
    text.erase(0, sizeof kPrefix - 1);
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}
