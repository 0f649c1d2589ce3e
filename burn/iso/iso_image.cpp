#include "burn/iso/iso_image.h"

#include "burn/sector_size.h"
#include "core/base/byte_order.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kSector = kSectorSize;
constexpr int64_t kFirstFileMinimum = 150 * kSector;
constexpr int64_t kMinimumSessionSectors = 300;

int64_t roundUp(int64_t bytes) { return (bytes + kSector - 1) / kSector * kSector; }

using bytes::putBe32;
using bytes::putBoth16;
using bytes::putBoth32;
using bytes::putLe32;

void putText(uint8_t* p, std::size_t width, const std::string& text)
{
    const std::string upper = TIsoTables::Upper(text);
    for (std::size_t i = 0; i < width; ++i)
        p[i] = i < upper.size() ? static_cast<uint8_t>(upper[i]) : ' ';
}

void putUcs2Text(uint8_t* p, std::size_t width, const std::string& text)
{
    const std::string ucs = Ucs2BigEndian(text);
    for (std::size_t i = 0; i + 1 < width; i += 2) {
        p[i] = i < ucs.size() ? static_cast<uint8_t>(ucs[i]) : 0x00;
        p[i + 1] = i < ucs.size() ? static_cast<uint8_t>(ucs[i + 1]) : ' ';
    }
}

void putDate(uint8_t* p, int64_t unixSeconds)
{
    char text[32];
    if (unixSeconds == 0) {
        std::snprintf(text, sizeof text, "1899123000000000");
    } else {
        const TIsoDate d = IsoDateFromTime(unixSeconds);
        std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d%02d", d.year, d.month, d.day, d.hour, d.minute,
                      d.second, 0);
    }
    std::memcpy(p, text, 16);
    p[16] = 0;
}

std::string fileIdentifier(const TFEntry& e)
{
    return e.directory ? e.isoName : e.isoName + ";1";
}

std::string jolietIdentifier(const TFEntry& e)
{
    return e.directory ? e.JolietName() : e.JolietName() + ";1";
}

}  // namespace

int64_t TIsoImage::ImageSectors() const
{
    const int64_t sectors = imageEnd_ - SessionStart;
    return (WritePostGap && sectors < kMinimumSessionSectors) ? kMinimumSessionSectors : sectors;
}

int64_t TIsoImage::IsoDirectorySize(const TDEntry& dir)
{
    int64_t sectors = 1, used = 68;
    for (const TFEntry* e = dir.firstChild; e; e = e->next) {
        const int64_t id = static_cast<int64_t>(fileIdentifier(*e).size());
        const int64_t length = 33 + id + (id % 2 == 0 ? 1 : 0);
        if (used + length > kSector) {
            ++sectors;
            used = 0;
        }
        used += length;
    }
    return sectors * kSector;
}

int64_t TIsoImage::JolietDirectorySize(const TDEntry& dir)
{
    int64_t sectors = 1, used = 68;
    for (const TFEntry* e = dir.firstChild; e; e = e->next) {
        const int64_t length = 33 + 2 * static_cast<int64_t>(Ucs2Length(jolietIdentifier(*e))) + 1;
        if (used + length > kSector) {
            ++sectors;
            used = 0;
        }
        used += length;
    }
    return sectors * kSector;
}

void TIsoImage::NumberDirectories(bool joliet)
{
    // Path-table order: breadth first, each parent's children sorted by name as bytes.
    std::vector<TDEntry*>& order = joliet ? jolietOrder_ : isoOrder_;
    order.clear();
    order.push_back(tables_.Root());
    for (std::size_t i = 0; i < order.size(); ++i) {
        TDEntry* dir = order[i];
        (joliet ? dir->jolietNumber : dir->isoNumber) = static_cast<int>(i + 1);
        std::vector<TDEntry*> children;
        for (TFEntry* e = dir->firstChild; e; e = e->next)
            if (e->directory)
                children.push_back(e->directory);
        std::sort(children.begin(), children.end(), [joliet](const TDEntry* a, const TDEntry* b) {
            return joliet ? a->JolietName() < b->JolietName() : a->isoName < b->isoName;
        });
        order.insert(order.end(), children.begin(), children.end());
    }
}

int64_t TIsoImage::PathTableSize(bool joliet) const
{
    int64_t size = 10;
    for (const TDEntry* d : joliet ? jolietOrder_ : isoOrder_) {
        if (d == tables_.Root())
            continue;
        const int64_t id = joliet ? 2 * static_cast<int64_t>(Ucs2Length(d->JolietName()))
                                  : static_cast<int64_t>(d->isoName.size());
        size += 8 + id + (id % 2);
    }
    return size;
}

bool TIsoImage::PrepareImage(const std::optional<TSessionPlacement>& onDisc)
{
    // A second preparation replaces the header instead of adding another one.
    header_.clear();
    BuildLayout(onDisc);
    WriteHeaderStream();
    return true;
}

void TIsoImage::BuildLayout(const std::optional<TSessionPlacement>& onDisc)
{
    SessionStart = onDisc ? onDisc->start : ImageSessionStart;
    if (onDisc && SessionToImport != 0 && onDisc->disc)
        tables_.ImportSession(*onDisc->disc, SessionToImport, tables_.Root());
    NumberDirectories(false);
    NumberDirectories(true);
    isoPathSize_ = PathTableSize(false);
    jolietPathSize_ = PathTableSize(true);

    int64_t pos = int64_t(SessionStart) * kSector + 32768;
    pvd_ = pos;
    pos += kSector;
    if (JolietFileSystem) {
        svd_ = pos;
        pos += kSector;
    }
    terminator_ = pos;
    pos += kSector;
    isoPathL_ = pos;
    pos += roundUp(isoPathSize_);
    isoPathM_ = pos;
    pos += roundUp(isoPathSize_);
    if (JolietFileSystem) {
        jolietPathL_ = pos;
        pos += roundUp(jolietPathSize_);
        jolietPathM_ = pos;
        pos += roundUp(jolietPathSize_);
    }
    isoDirArea_ = pos;
    isoAreaSize_ = 0;
    for (TDEntry& d : tables_.Directories()) {
        d.isoSize = IsoDirectorySize(d);
        d.isoExtent = static_cast<int32_t>(isoAreaSize_ / kSector);
        isoAreaSize_ += d.isoSize;
    }
    pos += isoAreaSize_;
    jolietDirArea_ = pos;
    jolietAreaSize_ = 0;
    if (JolietFileSystem) {
        for (TDEntry& d : tables_.Directories()) {
            d.jolietSize = JolietDirectorySize(d);
            d.jolietExtent = static_cast<int32_t>(jolietAreaSize_ / kSector);
            jolietAreaSize_ += d.jolietSize;
        }
        pos += jolietAreaSize_;
    }
    firstFile_ = std::max(pos, kFirstFileMinimum);

    fileSectors_ = 0;
    for (TFEntry& f : tables_.Files()) {
        if (f.directory) {
            f.isoExtent = f.directory->isoExtent;
            f.jolietExtent = f.directory->jolietExtent;
            f.size = f.directory->isoSize;
            f.jolietSize = f.directory->jolietSize;
        } else if (f.imported) {
            continue;
        } else if (f.size == 0) {
            f.isoExtent = f.jolietExtent = 0;
        } else {
            f.isoExtent = f.jolietExtent = static_cast<int32_t>(fileSectors_);
            fileSectors_ += roundUp(f.size) / kSector;
        }
    }
    imageEnd_ = (fileSectors_ * kSector + firstFile_ + kSector - 1) / kSector;
}

void TIsoImage::AppendRecord(std::vector<uint8_t>& out, uint32_t extent, uint32_t length, const TIsoDate& date,
                             uint8_t flags, const std::string& identifier)
{
    const std::size_t id = identifier.size();
    const std::size_t recordLength = 33 + id + (id % 2 == 0 ? 1 : 0);
    // A record never crosses a sector boundary.
    const std::size_t used = out.size() % kSector;
    if (used + recordLength > static_cast<std::size_t>(kSector))
        out.resize(out.size() + (kSector - used), 0);
    const std::size_t at = out.size();
    out.resize(at + recordLength, 0);
    uint8_t* r = out.data() + at;
    r[0] = static_cast<uint8_t>(recordLength);
    putBoth32(r + 2, extent);
    putBoth32(r + 10, length);
    r[18] = static_cast<uint8_t>(std::clamp(date.year - 1900, 0, 255));
    r[19] = static_cast<uint8_t>(date.month);
    r[20] = static_cast<uint8_t>(date.day);
    r[21] = static_cast<uint8_t>(date.hour);
    r[22] = static_cast<uint8_t>(date.minute);
    r[23] = static_cast<uint8_t>(date.second);
    r[24] = static_cast<uint8_t>(static_cast<int8_t>(tables_.GmtOffset()));
    r[25] = flags;
    putBoth16(r + 28, 1);
    r[32] = static_cast<uint8_t>(id);
    std::memcpy(r + 33, identifier.data(), id);
}

void TIsoImage::AppendDirectories(bool joliet)
{
    const TIsoDate now = IsoDateNow();
    const uint32_t area = static_cast<uint32_t>((joliet ? jolietDirArea_ : isoDirArea_) / kSector);
    const uint32_t firstFileSector = static_cast<uint32_t>(firstFile_ / kSector);
    std::vector<uint8_t> out;
    for (TDEntry& d : tables_.Directories()) {
        out.clear();
        const TDEntry& parent = *d.parent;
        const uint32_t self = area + static_cast<uint32_t>(joliet ? d.jolietExtent : d.isoExtent);
        const uint32_t up = area + static_cast<uint32_t>(joliet ? parent.jolietExtent : parent.isoExtent);
        AppendRecord(out, self, static_cast<uint32_t>(joliet ? d.jolietSize : d.isoSize), now, 2, std::string(1, '\0'));
        AppendRecord(out, up, static_cast<uint32_t>(joliet ? parent.jolietSize : parent.isoSize), now, 2,
                     std::string(1, '\1'));
        for (const TFEntry* e = d.firstChild; e; e = e->next) {
            uint32_t extent;
            if (e->directory)
                extent = area + static_cast<uint32_t>(joliet ? e->jolietExtent : e->isoExtent);
            else if (e->imported)
                extent = static_cast<uint32_t>(e->isoExtent);
            else if (e->size == 0)
                extent = 0;
            else
                extent = firstFileSector + static_cast<uint32_t>(e->isoExtent);
            uint8_t flags = e->directory ? 2 : 0;
            if (e->attributes & kAttrHidden)
                flags |= 1;
            AppendRecord(out, extent, static_cast<uint32_t>(joliet ? e->jolietSize : e->size), e->date, flags,
                         joliet ? Ucs2BigEndian(jolietIdentifier(*e)) : fileIdentifier(*e));
        }
        out.resize(static_cast<std::size_t>(roundUp(static_cast<int64_t>(out.size()))), 0);
        header_.insert(header_.end(), out.begin(), out.end());
    }
}

void TIsoImage::AppendPathTable(bool joliet, bool bigEndian)
{
    const std::size_t start = header_.size();
    const uint32_t area = static_cast<uint32_t>((joliet ? jolietDirArea_ : isoDirArea_) / kSector);
    for (const TDEntry* d : joliet ? jolietOrder_ : isoOrder_) {
        const bool root = d == tables_.Root();
        const std::string id = root ? std::string(1, '\0') : joliet ? Ucs2BigEndian(d->JolietName()) : d->isoName;
        const std::size_t at = header_.size();
        header_.resize(at + 8 + id.size() + (id.size() % 2), 0);
        uint8_t* r = header_.data() + at;
        r[0] = static_cast<uint8_t>(id.size());
        const uint32_t extent = area + static_cast<uint32_t>(joliet ? d->jolietExtent : d->isoExtent);
        const uint16_t parent = static_cast<uint16_t>(joliet ? d->parent->jolietNumber : d->parent->isoNumber);
        if (bigEndian) {
            putBe32(r + 2, extent);
            bytes::putBe16(r + 6, parent);
        } else {
            putLe32(r + 2, extent);
            bytes::putLe16(r + 6, parent);
        }
        std::memcpy(r + 8, id.data(), id.size());
    }
    header_.resize(start + static_cast<std::size_t>(roundUp(static_cast<int64_t>(header_.size() - start))), 0);
}

void TIsoImage::AppendDescriptor(bool joliet)
{
    const std::size_t at = header_.size();
    header_.resize(at + kSector, 0);
    uint8_t* d = header_.data() + at;
    d[0] = joliet ? 2 : 1;
    std::memcpy(d + 1, "CD001", 5);
    d[6] = 1;
    auto text = [joliet](uint8_t* p, std::size_t width, const std::string& value) {
        if (joliet)
            putUcs2Text(p, width, value);
        else
            putText(p, width, value);
    };
    text(d + 8, 32, Ids.IdSystem);
    text(d + 40, 32, Ids.IdVolume);
    putBoth32(d + 80, static_cast<uint32_t>(imageEnd_ - SessionStart));
    // The UCS-2 escape goes into the supplementary descriptor only: in the primary one it
    // makes Joliet readers take the ISO 9660 tree for a Joliet tree.
    if (joliet) {
        d[88] = 0x25;
        d[89] = 0x2F;
        d[90] = 0x40;
    }
    putBoth16(d + 120, 1);
    putBoth16(d + 124, 1);
    putBoth16(d + 128, kSectorSize);
    const int64_t pathSize = joliet ? jolietPathSize_ : isoPathSize_;
    putBoth32(d + 132, static_cast<uint32_t>(pathSize));
    putLe32(d + 140, static_cast<uint32_t>((joliet ? jolietPathL_ : isoPathL_) / kSector));
    putBe32(d + 148, static_cast<uint32_t>((joliet ? jolietPathM_ : isoPathM_) / kSector));
    uint8_t* root = d + 156;
    root[0] = 34;
    const TDEntry& r = *tables_.Root();
    putBoth32(root + 2, static_cast<uint32_t>((joliet ? jolietDirArea_ : isoDirArea_) / kSector));
    putBoth32(root + 10, static_cast<uint32_t>(joliet ? r.jolietSize : r.isoSize));
    root[25] = 2;
    putBoth16(root + 28, 1);
    root[32] = 1;
    text(d + 190, 128, Ids.IdVolumeSet);
    text(d + 318, 128, Ids.IdPublisher);
    text(d + 446, 128, Ids.IdPreparer);
    text(d + 574, 128, Ids.IdApplication);
    const std::size_t fileWidth = joliet ? 36 : 37;
    text(d + 702, fileWidth, Ids.FileCopyright);
    text(d + 739, fileWidth, Ids.FileAbstract);
    text(d + 776, fileWidth, Ids.FileBibliographic);
    putDate(d + 813, Ids.DateCreation);
    putDate(d + 830, Ids.DateModification);
    std::memcpy(d + 847, "0000000000000000", 16);
    std::memcpy(d + 864, "0000000000000000", 16);
    d[881] = 1;
    std::memset(d + 1024, ' ', 8);
}

void TIsoImage::WriteHeaderStream()
{
    header_.reserve(static_cast<std::size_t>(firstFile_ - int64_t(SessionStart) * kSector));
    header_.resize(header_.size() + 16 * kSector, 0);
    AppendDescriptor(false);
    if (JolietFileSystem)
        AppendDescriptor(true);
    const std::size_t at = header_.size();
    header_.resize(at + kSector, 0);
    header_[at] = 255;
    std::memcpy(&header_[at + 1], "CD001", 5);
    header_[at + 6] = 1;
    AppendPathTable(false, false);
    AppendPathTable(false, true);
    if (JolietFileSystem) {
        AppendPathTable(true, false);
        AppendPathTable(true, true);
    }
    AppendDirectories(false);
    if (JolietFileSystem)
        AppendDirectories(true);
    const std::size_t headerBytes = static_cast<std::size_t>(firstFile_ - int64_t(SessionStart) * kSector);
    if (header_.size() < headerBytes)
        header_.resize(headerBytes, 0);
}
