#pragma once
// The Linux SCSI pass-through of the built-in layer: one SG_IO request per command, with
// the command's own time-out (the kernel aborts a command whose time-out expires and may
// reset the drive, so it must never be shorter than the command may take), the residual
// count, and what the host adapter, the driver and the drive said, turned into one outcome.
// Also the kernel's address of a drive (SCSI_IOCTL_GET_IDLUN, else sysfs) and opening a
// drive, exclusively while a burn runs.
//
// The system calls go through a table that tests replace (as the whole-file writer's
// steps), so the mapping of every status and of the sense data is tested without a drive.

#include "core/base/posix_io.h"

#include <cstdint>
#include <span>
#include <string>

namespace sgio {

// The system calls the pass-through makes.
struct Calls {
    int (*open)(const char* path, int flags);
    int (*ioctl)(int fd, unsigned long request, void* arg);
    // The target of a symbolic link (sysfs); empty when there is none.
    std::string (*readLink)(const std::string& path);
    int (*fstat)(int fd, struct stat* st);
};

// The calls in use: the real ones unless a ScopedCalls replaced them.
const Calls& CurrentCalls();

// Replaces the calls for its lifetime (tests only). `calls` must outlive it.
class ScopedCalls {
public:
    explicit ScopedCalls(const Calls& calls);
    ~ScopedCalls();
    ScopedCalls(const ScopedCalls&) = delete;
    ScopedCalls& operator=(const ScopedCalls&) = delete;

private:
    const Calls* previous_;
};

// What failed below the drive.
enum class Failure : uint8_t {
    None = 0,
    Errno = 1,   // the ioctl itself failed: value is errno
    Host = 2,    // the host adapter: value is its status (DID_*)
    Driver = 3,  // the driver: value is its verdict (DRIVER_*, low 3 bits)
};

// Host and driver verdicts of a command that ran out of time.
inline constexpr uint32_t kHostTimeOut = 0x03;
inline constexpr uint32_t kDriverTimeOut = 0x06;
// The drive's status byte for a check condition and for busy.
inline constexpr uint8_t kCheckCondition = 0x02;
inline constexpr uint8_t kBusy = 0x08;

struct Outcome {
    uint8_t status = 0;  // the drive's SCSI status when failure is None
    Failure failure = Failure::None;
    uint32_t value = 0;        // errno or host/driver status, see Failure
    unsigned senseLength = 0;  // bytes of sense data the drive returned
    uint32_t residual = 0;     // bytes of the transfer that did not take place
};

enum class Direction { None, FromDevice, ToDevice };

// Runs one CDB. sense receives the sense data (at most its size).
Outcome Run(int fd, std::span<const uint8_t> cdb, Direction direction, uint8_t* data, uint32_t length,
            unsigned timeoutMs, std::span<uint8_t> sense);

// The kernel's address of a SCSI device.
struct Address {
    int host = -1, channel = 0, target = 0, lun = 0;
    bool known() const { return host >= 0; }
    std::string text() const;  // "1:0:0:0"
};

// The address of the device open on fd: SCSI_IOCTL_GET_IDLUN with the host number of
// SCSI_IOCTL_GET_BUS_NUMBER, else the name of the device's directory in sysfs.
Address AddressOf(int fd);
// Parses "H:C:T:L" (the sysfs name of a SCSI device).
bool ParseAddress(const std::string& text, Address* address);

// Opens a drive for commands (read and write, else read only), without waiting for a
// medium. exclusive: no other program may hold it open exclusively or have it mounted
// (EBUSY when one does). -1 with errno on failure.
posix::UniqueFd Open(const std::string& node, bool exclusive);

}  // namespace sgio
