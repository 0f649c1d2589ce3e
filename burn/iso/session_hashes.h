#pragma once
// The SHA-256 of each new file of a session, taken from the very bytes the session's
// stream reads for the disc: every file is read once, and the checksum list and the
// archive record describe what was written, even when a file changed after it was added.
//
// The session's checksum list, when it has one, is its last new file (it is inserted after
// every other): its size follows from the names alone, and its text is made when the stream
// reaches it, from the checksums of the files before it.
//
// The stream fills it on its own thread; the burn reads it after the write. A lock keeps
// the two apart.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct TFEntry;

struct TSessionFile {
    std::string discName;    // the path below the root on the disc
    std::string sourcePath;  // the local file
    std::string hex;         // its SHA-256 as read for the session (empty until read)
    int64_t size = 0;
    const TFEntry* entry = nullptr;  // its entry in the new session's tables
};

class TSessionHashes {
public:
    // files: the session's new files in the list's order, without checksums (an empty file
    // gets the checksum of nothing at once). list: the checksum list's entry, whose text is
    // written over listPath (which already holds as many bytes) when the stream reaches it;
    // null for a session without a list.
    TSessionHashes(std::vector<TSessionFile> files, const TFEntry* list = nullptr, std::string listPath = {});

    // The list's size for these files, in bytes: one line per file.
    static int64_t ListSize(const std::vector<TSessionFile>& files);

    // The stream's side.
    bool IsList(const TFEntry* entry) const { return entry && entry == list_; }
    void Hashed(const TFEntry* entry, const std::string& hex);
    // The list's text, made from the checksums and written to the list's path; false with
    // the reason when a file before it was not read or the file cannot be written.
    bool MakeList(std::string* text, std::string* error);

    // The files with the checksums read so far (a file not yet read has an empty one),
    // without their entries.
    std::vector<TSessionFile> Files() const;

private:
    mutable std::mutex mutex_;
    std::vector<TSessionFile> files_;
    std::unordered_map<const TFEntry*, std::size_t> index_;
    const TFEntry* const list_;
    const std::string listPath_;
};
