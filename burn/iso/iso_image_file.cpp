#include "burn/iso/iso_image_file.h"

#include "burn/iso/iso_image.h"
#include "burn/iso/iso_tables.h"
#include "burn/iso/session_stream.h"
#include "burn/sector_size.h"
#include "core/base/atomic_stream_file.h"
#include "core/base/posix_io.h"

#include <vector>

namespace {

std::string faultText(const TSessionStream& stream)
{
    const std::string& file = stream.CurrentFile();
    switch (stream.FaultKind()) {
    case TSessionStream::Fault::NotRegular: return "cannot read " + file + ": not a regular file";
    case TSessionStream::Fault::Changed: return file + " has changed since it was added";
    case TSessionStream::Fault::ListNotMade: return stream.FaultText();
    default: return "cannot read " + file + ": " + posix::errnoMessage(stream.FaultErrno());
    }
}

}  // namespace

bool WriteImageFile(TIsoImage& image, TIsoTables& tables, const std::string& path, std::string* error)
{
    TSessionStream stream(image.HeaderStream(), TSessionStream::NewFiles(tables),
                          image.ImageSectors() * int64_t{kSectorSize});
    TAtomicStreamFile out;
    if (!out.Open(path, error))
        return false;
    std::vector<uint8_t> buffer(1 << 20);
    for (;;) {
        const std::ptrdiff_t n = stream.Read(buffer);
        if (n < 0) {
            *error = faultText(stream);
            return false;  // the unfinished file goes; the target stays as it was
        }
        if (n == 0)
            break;
        if (!out.Write(buffer.data(), static_cast<std::size_t>(n)))
            break;  // Commit reports the failed write
    }
    return out.Commit(error);
}
