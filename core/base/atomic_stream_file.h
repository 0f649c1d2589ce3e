#pragma once
// Writes a file of any size, piece by piece, so that a crash, a full disk or any other
// failure leaves the old file whole: the data goes into a temporary file beside the
// target, every write, the flush to disk and the close are checked, and only then is
// the temporary file renamed over the target (and the directory flushed). The target
// must be a regular file or a new name; a symbolic link is followed to its target. A
// device, a FIFO, a socket or a directory is refused before anything is written, so no
// write ever goes into one and no rename ever replaces one. Plain C++, no Qt. The system
// calls of a write go through wholefile::CurrentSteps(), so tests can make them fail.

#include "core/base/posix_io.h"

#include <cstddef>
#include <string>

class TAtomicStreamFile {
public:
    TAtomicStreamFile() = default;
    // Removes the temporary file unless the writer was committed.
    ~TAtomicStreamFile();
    TAtomicStreamFile(const TAtomicStreamFile&) = delete;
    TAtomicStreamFile& operator=(const TAtomicStreamFile&) = delete;

    // Checks the target and creates the temporary file beside it; false with a message.
    bool Open(const std::string& path, std::string* error);
    // Appends bytes; false on the first failure, which Commit then reports.
    bool Write(const void* data, std::size_t size);
    // Flushes, closes and renames over the target; false with a message (the old file
    // is then untouched and the temporary file gone).
    bool Commit(std::string* error);
    // Ends without replacing anything.
    void Discard();

    // The path the data will replace (a symbolic link resolved).
    const std::string& Target() const { return target_; }
    // The reason of the first failure without the file's name (the system's text, or why
    // the target cannot be replaced); empty while none.
    const std::string& Reason() const { return reason_; }

private:
    bool Fail(const std::string& what, int error);

    std::string path_;    // as given, for messages
    std::string target_;  // where the rename goes
    std::string temp_;
    std::string error_;
    std::string reason_;
    posix::UniqueFd fd_;
    bool hasMode_ = false;
    unsigned mode_ = 0;
};

// Why `path` cannot be replaced by a regular file (it is a device, a FIFO, a socket, a
// directory, or a link to one), or an empty string. A missing name is fine.
std::string ReplaceableFileProblem(const std::string& path);
