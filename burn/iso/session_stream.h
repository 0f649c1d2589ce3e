#pragma once
// The byte stream of a prepared session, as it goes onto a disc or into an image file:
// the header (system area, volume descriptors, path tables, directories), then the data
// of the new files in file-table order, each padded with zeros to whole sectors, then
// zero sectors up to the session's length (the post-gap of a short session). The image
// file writer and the burn's read-ahead cache both pull their bytes from it, so a disc
// and an image of the same tables hold the same bytes.
//
// Given the session's hash store (session_hashes.h), it takes each file's SHA-256 from the
// bytes it hands out, and makes the checksum list's bytes when it reaches the list.
//
// No drive, no threads: one reader pulls, from one thread at a time.

#include "core/base/posix_io.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TIsoTables;
class TSessionHashes;
class TSha256;
struct TFEntry;

class TSessionStream {
public:
    // One new file whose data goes into the session.
    struct File {
        std::string path;
        int64_t size = 0;
        const TFEntry* entry = nullptr;  // its entry in the tables, for the hash store
    };
    // Why the stream stopped early.
    enum class Fault {
        None,
        CannotOpen,  // the file cannot be opened (errno in FaultErrno)
        NotRegular,  // the path is no longer a regular file
        Changed,     // its size is not the size it was added with, or it ended early
        CannotRead,  // a read failed (errno in FaultErrno)
        ListNotMade, // the checksum list could not be made (FaultText says why)
    };

    // header: whole sectors; totalBytes: the session's length (at least the header and the
    // padded files; what is left is zeros).
    TSessionStream(std::vector<uint8_t> header, std::vector<File> files, int64_t totalBytes,
                   std::shared_ptr<TSessionHashes> hashes = nullptr);
    TSessionStream(TSessionStream&&) noexcept;
    ~TSessionStream();
    // The new files of the tables, in table order: neither directories, nor imported files,
    // nor empty ones (which have no data).
    static std::vector<File> NewFiles(const TIsoTables& tables);

    // Fills the front of out with the next bytes: the count, which is out.size() except where
    // a part ends (the header, the file data, the padding: a part never shares a call with
    // the next, so that each starts at the front of a buffer); 0 at the end of the stream;
    // -1 after a fault.
    std::ptrdiff_t Read(std::span<uint8_t> out);

    int64_t TotalBytes() const { return totalBytes_; }
    Fault FaultKind() const { return fault_; }
    int FaultErrno() const { return faultErrno_; }
    const std::string& FaultText() const { return faultText_; }
    // The file being read (the one that failed after a fault); empty outside the file data.
    const std::string& CurrentFile() const { return currentFile_; }

private:
    enum class Part { Header, Files, Padding, End };
    std::size_t ReadHeader(std::span<uint8_t> out);
    // -1 after a fault.
    std::ptrdiff_t ReadFiles(std::span<uint8_t> out);
    std::size_t ReadPadding(std::span<uint8_t> out);
    bool OpenNext();
    std::ptrdiff_t Fail(Fault fault, int error);
    // The file's data is read (or its list made): its checksum to the store.
    void FileDone();

    std::vector<uint8_t> header_;
    std::vector<File> files_;
    int64_t totalBytes_;
    Part part_ = Part::Header;
    std::size_t headerAt_ = 0;
    std::size_t next_ = 0;         // the next file to open
    posix::UniqueFd fd_;           // the file being read
    std::string made_;             // or the checksum list's bytes, made when reached
    std::shared_ptr<TSessionHashes> hashes_;
    std::unique_ptr<TSha256> hash_;  // of the file being read, with a store
    int64_t dataLeft_ = 0;         // its bytes still to read
    int64_t zerosLeft_ = 0;        // then the zeros that fill its last sector
    int64_t produced_ = 0;
    Fault fault_ = Fault::None;
    int faultErrno_ = 0;
    std::string faultText_;
    std::string currentFile_;
};
