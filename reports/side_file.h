#pragma once
// The program's side files in the data folder (the report checksums, the archive record):
// small text files beside fmList.txt, read as outside bytes and changed only by a
// read-merge-write under the catalogue's lock, so two instances on one program folder
// never lose each other's lines. Reading takes regular files of at most kSideFileLimit
// bytes; a FIFO, a device or a huge file is an error, never a hang.

#include <QString>
#include <cstddef>
#include <functional>
#include <string>

inline constexpr std::size_t kSideFileLimit = 16u << 20;

enum class TSideFileStatus {
    Missing,     // no such file yet
    Read,        // content holds the file
    Unreadable,  // error says why (no regular file, too large, a read error)
};

struct TSideFileRead {
    TSideFileStatus status = TSideFileStatus::Missing;
    std::string content;
    QString error;
};

TSideFileRead ReadSideFile(const QString& path);

// Under the catalogue's lock: reads the file again and lets `merge` make the new content
// from it (the old content is empty for a missing file); writes that whole. `merge` returns
// false with a message to write nothing. False with the message when the file could not be
// read or written; the old file then stays as it was. True with a message in `error` is a
// warning (a damaged old file, kept whole in a ".bak" copy).
bool UpdateSideFile(const QString& path,
                    const std::function<bool(const TSideFileRead& old, std::string* next, QString* error)>& merge,
                    QString* error);

// Keeps a damaged file's whole content as path + ".bak" before it is rewritten.
bool KeepDamagedCopy(const QString& path, const std::string& content, QString* error);
