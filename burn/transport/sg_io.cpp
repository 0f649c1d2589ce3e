#include "burn/transport/sg_io.h"

#include <algorithm>
#include <cstdio>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace sgio {
namespace {

int realOpen(const char* path, int flags) { return posix::open(path, flags); }
int realIoctl(int fd, unsigned long request, void* arg) { return posix::ioctl(fd, request, arg); }
std::string realReadLink(const std::string& path)
{
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}
int realFstat(int fd, struct stat* st) { return ::fstat(fd, st); }

const Calls kRealCalls{realOpen, realIoctl, realReadLink, realFstat};
const Calls* g_calls = &kRealCalls;

// The driver's verdict is in the low three bits; 08h only says that sense data came along.
constexpr unsigned kDriverVerdictMask = 0x07;
constexpr unsigned kDriverSense = 0x08;

}  // namespace

const Calls& CurrentCalls() { return *g_calls; }

ScopedCalls::ScopedCalls(const Calls& calls) : previous_(g_calls) { g_calls = &calls; }
ScopedCalls::~ScopedCalls() { g_calls = previous_; }

Outcome Run(int fd, std::span<const uint8_t> cdb, Direction direction, uint8_t* data, uint32_t length,
            unsigned timeoutMs, std::span<uint8_t> sense)
{
    Outcome out;
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.cmd_len = static_cast<unsigned char>(cdb.size());
    io.cmdp = const_cast<unsigned char*>(cdb.data());
    io.dxfer_direction = length == 0 || direction == Direction::None ? SG_DXFER_NONE
                         : direction == Direction::FromDevice        ? SG_DXFER_FROM_DEV
                                                                     : SG_DXFER_TO_DEV;
    io.dxfer_len = io.dxfer_direction == SG_DXFER_NONE ? 0 : length;
    io.dxferp = io.dxfer_len ? data : nullptr;
    io.mx_sb_len = static_cast<unsigned char>(std::min<std::size_t>(sense.size(), 255));
    io.sbp = sense.data();
    io.timeout = timeoutMs;
    if (CurrentCalls().ioctl(fd, SG_IO, &io) < 0) {
        out.failure = Failure::Errno;
        out.value = static_cast<uint32_t>(errno);
        return out;
    }
    out.senseLength = std::min<unsigned>(io.sb_len_wr, io.mx_sb_len);
    out.residual = io.resid > 0 ? static_cast<uint32_t>(io.resid) : 0;
    out.status = io.status;
    if (io.host_status != 0) {
        out.failure = Failure::Host;
        out.value = io.host_status;
    } else if ((io.driver_status & kDriverVerdictMask) != 0) {
        out.failure = Failure::Driver;
        out.value = io.driver_status & kDriverVerdictMask;
    } else if (out.status == 0 && (io.driver_status & kDriverSense) && out.senseLength > 0) {
        // Sense data without a status: some drivers pass a check condition only this way.
        out.status = kCheckCondition;
    }
    return out;
}

std::string Address::text() const
{
    return std::to_string(host) + ":" + std::to_string(channel) + ":" + std::to_string(target) + ":" +
           std::to_string(lun);
}

bool ParseAddress(const std::string& text, Address* address)
{
    int h, c, t, l;
    char tail;
    if (std::sscanf(text.c_str(), "%d:%d:%d:%d%c", &h, &c, &t, &l, &tail) != 4 || h < 0 || c < 0 || t < 0 ||
        l < 0)
        return false;
    *address = {h, c, t, l};
    return true;
}

Address AddressOf(int fd)
{
    Address a;
    struct {
        int devId;
        int hostUniqueId;
    } idlun{};
    if (CurrentCalls().ioctl(fd, SCSI_IOCTL_GET_IDLUN, &idlun) == 0) {
        a.target = idlun.devId & 0xFF;
        a.lun = (idlun.devId >> 8) & 0xFF;
        a.channel = (idlun.devId >> 16) & 0xFF;
        a.host = (idlun.devId >> 24) & 0xFF;
        // The identifier keeps only 8 bits of the host number; the bus number has all.
        int host = -1;
        if (CurrentCalls().ioctl(fd, SCSI_IOCTL_GET_BUS_NUMBER, &host) == 0 && host >= 0)
            a.host = host;
        return a;
    }
    struct stat st {};
    if (CurrentCalls().fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode))
        return a;
    // /sys/dev/block/MAJ:MIN/device links to the SCSI device's directory, named H:C:T:L.
    const std::string link = CurrentCalls().readLink("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                                                     std::to_string(minor(st.st_rdev)) + "/device");
    const std::size_t slash = link.rfind('/');
    Address parsed;
    if (ParseAddress(slash == std::string::npos ? link : link.substr(slash + 1), &parsed))
        a = parsed;
    return a;
}

posix::UniqueFd Open(const std::string& node, bool exclusive)
{
    const int extra = O_NONBLOCK | O_CLOEXEC | (exclusive ? O_EXCL : 0);
    int fd = CurrentCalls().open(node.c_str(), O_RDWR | extra);
    if (fd < 0 && errno != EBUSY)
        fd = CurrentCalls().open(node.c_str(), O_RDONLY | extra);
    return posix::UniqueFd(fd);
}

}  // namespace sgio
