#pragma once
// An exclusive lock on a lock file, so that two instances of the program that share a
// program folder take turns at a read-merge-write of a shared file (the catalogue).
// flock: the system drops the lock when the holder ends, however it ends, so a killed
// instance never leaves the folder locked. The lock file itself stays, empty.

#include "core/base/posix_io.h"

#include <string>

class TFileLock {
public:
    // Opens (creating) the lock file and waits until the lock is ours.
    explicit TFileLock(const std::string& path);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    bool Locked() const { return fd_.valid(); }
    // Why the lock could not be taken (empty when it is held).
    const std::string& Reason() const { return reason_; }

private:
    posix::UniqueFd fd_;
    std::string reason_;
};
