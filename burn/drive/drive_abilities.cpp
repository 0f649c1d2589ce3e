#include "burn/drive/drive_abilities.h"

#include "burn/transport/scsi_opcodes.h"
#include "core/base/byte_order.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint16_t kProfileListFeature = 0x0000;
constexpr uint8_t kCapabilitiesPage = 0x2A;

// The start of a mode page in a MODE SENSE (10) answer: after the 8-byte header and the
// block descriptors it announces.
std::span<const uint8_t> pageIn(std::span<const uint8_t> answer, uint8_t page)
{
    if (answer.size() < 8)
        return {};
    const std::size_t at = 8u + bytes::be16(answer.data() + 6);
    if (at + 2 > answer.size() || (answer[at] & 0x3F) != page)
        return {};
    return answer.subspan(at);
}

}  // namespace

std::string TDriveAbilities::WritesText() const
{
    if (!known)
        return "unknown";
    std::string text;
    const std::pair<bool, const char*> media[] = {{cdR, "CD-R"},   {cdRw, "CD-RW"},       {dvdR, "DVD-R"},
                                                  {dvdRw, "DVD-RW"}, {dvdRam, "DVD-RAM"}, {dvdPlusR, "DVD+R"},
                                                  {dvdPlusRw, "DVD+RW"}};
    for (const auto& [can, name] : media)
        if (can)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return text.empty() ? "nothing" : text;
}

TDriveAbilities AbilitiesFrom(std::span<const uint8_t> page, std::span<const uint8_t> configuration)
{
    TDriveAbilities a;
    if (page.size() >= 4 && (page[0] & 0x3F) == kCapabilitiesPage) {
        a.known = true;
        // Byte 3: bit 0 CD-R, bit 1 CD-RW, bit 4 DVD-R, bit 5 DVD-RAM write.
        a.cdR = page[3] & 0x01;
        a.cdRw = page[3] & 0x02;
        a.dvdR = page[3] & 0x10;
        a.dvdRam = page[3] & 0x20;
    }
    // Header (8 bytes), then the profile list feature: code, flags, additional length,
    // and one 4-byte descriptor per profile.
    if (configuration.size() >= 12 && bytes::be16(configuration.data() + 8) == kProfileListFeature) {
        a.known = true;
        const std::size_t end = std::min<std::size_t>(configuration.size(), 12u + configuration[11]);
        for (std::size_t i = 12; i + 4 <= end; i += 4) {
            switch (bytes::be16(configuration.data() + i)) {
            case 0x0009: a.cdR = true; break;
            case 0x000A: a.cdRw = true; break;
            case 0x0011:
            case 0x0015: a.dvdR = true; break;
            case 0x0012: a.dvdRam = true; break;
            case 0x0013:
            case 0x0014: a.dvdRw = true; break;
            case 0x001A: a.dvdPlusRw = true; break;
            case 0x001B:
            case 0x002B: a.dvdPlusR = true; break;
            default: break;
            }
        }
    }
    return a;
}

TDriveAbilities ReadDriveAbilities(TScsiTransport& transport, const std::string& line)
{
    std::vector<uint8_t> sense(128, 0), config(256, 0);
    std::vector<uint8_t> cdb(10, 0);
    cdb[0] = op::ModeSense10;
    cdb[2] = kCapabilitiesPage;
    bytes::putBe16(&cdb[7], static_cast<uint32_t>(sense.size()));
    const bool havePage = transport.CommandTo(line, cdb, aspi::SRB_DIR_IN, sense.data(),
                                              static_cast<uint32_t>(sense.size()), 20000);
    std::fill(cdb.begin(), cdb.end(), 0);
    cdb[0] = op::GetConfiguration;
    cdb[1] = 0x02;  // the one feature asked for
    bytes::putBe16(&cdb[2], kProfileListFeature);
    bytes::putBe16(&cdb[7], static_cast<uint32_t>(config.size()));
    const bool haveConfig = transport.CommandTo(line, cdb, aspi::SRB_DIR_IN, config.data(),
                                                static_cast<uint32_t>(config.size()), 30000);
    return AbilitiesFrom(havePage ? pageIn(sense, kCapabilitiesPage) : std::span<const uint8_t>(),
                         haveConfig ? std::span<const uint8_t>(config) : std::span<const uint8_t>());
}

std::string DriveCannotWriteText(const std::string& line)
{
    return "THE DRIVE " + line + " CANNOT WRITE DISCS (IT ONLY READS)";
}

bool DriveOnlyReads(TScsiTransport& transport, const std::string& line)
{
    const TDriveAbilities abilities = ReadDriveAbilities(transport, line);
    return abilities.known && !abilities.WritesAnything();
}
