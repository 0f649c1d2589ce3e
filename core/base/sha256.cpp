#include "core/base/sha256.h"

#include "core/base/posix_io.h"
#include "core/base/whole_file.h"

#include <openssl/evp.h>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

struct TSha256::Context {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(ctx); }
};

namespace {

void start(EVP_MD_CTX* ctx)
{
    if (!ctx || EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available from libcrypto");
}

std::string toHex(const std::array<uint8_t, 32>& digest)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex(64, '0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return hex;
}

}  // namespace

TSha256::TSha256() : context_(std::make_unique<Context>())
{
    start(context_->ctx);
}

TSha256::~TSha256() = default;

void TSha256::Add(const void* data, std::size_t size)
{
    if (size)
        EVP_DigestUpdate(context_->ctx, data, size);
}

std::array<uint8_t, 32> TSha256::Finish()
{
    std::array<uint8_t, 32> digest {};
    unsigned length = 0;
    EVP_DigestFinal_ex(context_->ctx, digest.data(), &length);
    start(context_->ctx);
    return digest;
}

std::string TSha256::FinishHex()
{
    return toHex(Finish());
}

std::string Sha256Hex(std::string_view data)
{
    TSha256 h;
    h.Add(data.data(), data.size());
    return h.FinishHex();
}

bool Sha256OfFile(const std::string& path, std::string* hex, std::string* reason, int64_t* size)
{
    auto fail = [reason](const std::string& text) {
        if (reason)
            *reason = text;
        return false;
    };
    struct stat st {};
    std::string why;
    const posix::UniqueFd fd = wholefile::OpenRegular(path, &st, &why);
    if (!fd)
        return fail(why);
    TSha256 h;
    std::vector<uint8_t> buffer(1u << 20);
    int64_t total = 0;
    for (;;) {
        const ssize_t n = posix::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0)
            return fail(posix::errnoMessage(errno));
        if (n == 0)
            break;
        h.Add(buffer.data(), static_cast<std::size_t>(n));
        total += n;
    }
    *hex = h.FinishHex();
    if (size)
        *size = total;
    return true;
}

bool IsSha256Hex(std::string_view text)
{
    if (text.size() != 64)
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}
