#pragma once
// Whole files without Qt, for every layer (the burner too). Writing goes through
// TAtomicStreamFile (core/base/atomic_stream_file.h): a temporary file beside the target, every
// write, the fsync and the close checked, then the rename and the directory synced; on any
// failure the temporary goes and the old file stays byte for byte. Reading takes regular
// files only, with a size limit, and never blocks on a FIFO or a device. Both go through
// one seam of system calls that tests can replace. The Qt-facing wrappers and the
// program's message texts are in safe_file.h.

#include "core/base/posix_io.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace wholefile {

// Larger than any file the program reads (settings, language files, the catalogue).
inline constexpr std::size_t kReadLimit = 64u << 20;

// Replaces (or creates) path with content. False with the reason (the system's text, or
// why the target is no file to replace) when the file could not be written whole.
bool Write(const std::string& path, std::string_view content, std::string* reason);

// Opens a regular file for reading, looked at before opening (so that opening a device
// has no side effect) and again on the descriptor. Invalid with the reason otherwise; *st
// is the descriptor's status.
posix::UniqueFd OpenRegular(const std::string& path, struct stat* st, std::string* reason);

// Reads a regular file of at most limit bytes. False with the reason when the file is
// missing, is no regular file, is larger than limit or cannot be read.
bool Read(const std::string& path, std::string* content, std::string* reason,
          std::size_t limit = kReadLimit);

// The system calls a write goes through. A test replaces them to inject failures (a full
// disk, an I/O error at fsync, a failing rename) without LD_PRELOAD.
struct Steps {
    ssize_t (*write)(int fd, const void* data, std::size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
};

// The steps in use: the real system calls unless a ScopedSteps replaced them.
const Steps& CurrentSteps();

// Replaces the steps for its lifetime (tests only; not meant for concurrent writers). It keeps
// a pointer: `steps` must outlive it.
class ScopedSteps {
public:
    explicit ScopedSteps(const Steps& steps);
    ~ScopedSteps();
    ScopedSteps(const ScopedSteps&) = delete;
    ScopedSteps& operator=(const ScopedSteps&) = delete;

private:
    const Steps* previous_;
};

}  // namespace wholefile
