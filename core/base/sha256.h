#pragma once
// SHA-256 of bytes and of files, for the checksums that follow a report from its download
// to a disc. The hashing is the system's libcrypto (it uses the processor's SHA
// instructions where there are any); plain C++ without Qt, so the burner uses it too.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TSha256 {
public:
    TSha256();
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Add(const void* data, std::size_t size);
    // The digest of everything added; the object then starts again from nothing.
    std::array<uint8_t, 32> Finish();
    // The same as 64 lower-case hex digits, as sha256sum writes it.
    std::string FinishHex();

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

// The digest of `data` as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view data);

// The digest of a regular file's content as 64 hex digits; false with the reason when it is
// missing, is no regular file (a FIFO is never opened for reading) or cannot be read.
bool Sha256OfFile(const std::string& path, std::string* hex, std::string* reason, int64_t* size = nullptr);

// True for 64 hex digits (either case).
bool IsSha256Hex(std::string_view text);
