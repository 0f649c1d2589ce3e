#include "burn/write/write_cache.h"

#include "core/base/posix_io.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr std::size_t kSector = 2048;

std::size_t roundUpToSector(std::size_t n)
{
    return (n + kSector - 1) / kSector * kSector;
}

}  // namespace

TCacheThread::TCacheThread(Params params)
    : params_(std::move(params)), capacity_(std::max(2, params_.cacheSize / 65536))
{
    bytesLeft_ = params_.sessionBytes;
}

TCacheThread::~TCacheThread()
{
    if (thread_.joinable()) {
        Abort();
        thread_.join();
    }
}

void TCacheThread::Start()
{
    // An exception ends the burn with its text instead of the program.
    thread_ = std::thread([this] {
        try {
            Run();
        } catch (const std::exception& e) {
            Fail(std::string("CACHE ERROR [") + e.what() + "]");
        } catch (...) {
            Fail("CACHE ERROR [UNKNOWN EXCEPTION]");
        }
    });
}

void TCacheThread::Join()
{
    if (thread_.joinable())
        thread_.join();
}

bool TCacheThread::WaitPrimed()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return primed_ || !error_.empty(); });
    return error_.empty();
}

std::string TCacheThread::ErrorText() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

std::string TCacheThread::CurrentFile() const
{
    std::lock_guard lock(mutex_);
    return currentFile_;
}

int64_t TCacheThread::BytesLeft() const
{
    std::lock_guard lock(mutex_);
    return bytesLeft_;
}

std::vector<uint8_t> TCacheThread::NewBlockMemory()
{
    {
        std::lock_guard lock(mutex_);
        if (!pool_.empty()) {
            std::vector<uint8_t> memory = std::move(pool_.back());
            pool_.pop_back();
            return memory;
        }
    }
    return std::vector<uint8_t>(kBlockBytes);
}

int TCacheThread::GetBlock(uint8_t* buffer)
{
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return done_ ? 0 : -1;
    std::memcpy(buffer, queue_.front().data.data(), static_cast<std::size_t>(queue_.front().count));
    return TakeFront();
}

int TCacheThread::TakeFront()
{
    Block& block = queue_.front();
    const int n = block.count;
    if (block.data.size() == static_cast<std::size_t>(kBlockBytes))
        pool_.push_back(std::move(block.data));
    queue_.pop_front();
    bytesInCache_ -= n;
    bytesLeft_ -= n;
    changed_.notify_all();
    return n;
}

int TCacheThread::WaitBlock(std::vector<uint8_t>& buffer)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !queue_.empty() || done_ || abort_; });
    if (queue_.empty())
        return 0;
    buffer.swap(queue_.front().data);
    return TakeFront();
}

void TCacheThread::Abort(const std::string& text)
{
    std::lock_guard lock(mutex_);
    abort_ = true;
    if (error_.empty())
        error_ = text.empty() ? "OPERATION ABORTED BY USER" : text;
    queue_.clear();
    bytesInCache_ = 0;
    changed_.notify_all();
}

bool TCacheThread::WaitForAbort(int ms)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return abort_; });
}

void TCacheThread::Fail(const std::string& text)
{
    std::lock_guard lock(mutex_);
    if (error_.empty())
        error_ = text;
    done_ = true;
    changed_.notify_all();
}

bool TCacheThread::Append(std::vector<uint8_t>& data, int count)
{
    std::unique_lock lock(mutex_);
    // The queue holds at most capacity - 1 blocks; once it has been that full the writer
    // may start (primed).
    const std::size_t limit = static_cast<std::size_t>(capacity_ - 1);
    if (queue_.size() >= limit) {
        primed_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this, limit] { return queue_.size() < limit || abort_; });
    }
    if (abort_)
        return false;
    bytesInCache_ += count;
    queue_.push_back({std::move(data), count});
    if (queue_.size() >= limit)
        primed_ = true;
    changed_.notify_all();
    return true;
}

bool TCacheThread::ReadFile(const TCacheFile& file, std::vector<uint8_t>& staging, std::size_t& fill)
{
    {
        std::lock_guard lock(mutex_);
        currentFile_ = file.path;
    }
    const std::string cantOpen = "CAN'T OPEN FILE \"" + file.path + "\" OR FILE IS IN USES BY OTHER SOFTWARE";
    const std::string changed = "FILE \"" + file.path + "\" HAS CHANGED SINCE IT WAS ADDED";
    posix::UniqueFd fd(::open(file.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        Fail(cantOpen);
        return false;
    }
    // A file that is not the size it was added with would put a cut or padded copy on
    // the disc under the old size: the burn ends with an error naming it instead.
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != file.size) {
        Fail(changed);
        return false;
    }
    int64_t left = file.size;
    while (left > 0) {
        const std::size_t room = TCacheThread::kBlockBytes - fill;
        const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(left, static_cast<int64_t>(room)));
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n = posix::read(fd.get(), staging.data() + fill + got, want - got);
            if (n < 0) {
                Fail(cantOpen);
                return false;
            }
            if (n == 0) {
                Fail(changed);
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        // The rest of the file's last sector is zero, never left-over bytes of another file.
        const std::size_t rounded = roundUpToSector(want);
        std::fill(staging.begin() + static_cast<std::ptrdiff_t>(fill + want),
                  staging.begin() + static_cast<std::ptrdiff_t>(fill + rounded), 0);
        fill += rounded;
        left -= static_cast<int64_t>(want);
        if (fill == TCacheThread::kBlockBytes) {
            if (!Append(staging, static_cast<int>(fill)))
                return false;
            staging = NewBlockMemory();
            fill = 0;
        }
        {
            std::lock_guard lock(mutex_);
            if (abort_)
                return false;
        }
    }
    return true;
}

void TCacheThread::Run()
{
    const auto aborted = [this] { Fail("OPERATION ABORTED BY USER"); };
    // The header first, in blocks of at most 31 sectors.
    const std::vector<uint8_t>& header = params_.header;
    for (std::size_t at = 0; at < header.size(); at += kBlockBytes) {
        const std::size_t n = std::min<std::size_t>(kBlockBytes, header.size() - at);
        std::vector<uint8_t> block = NewBlockMemory();
        std::memcpy(block.data(), header.data() + at, n);
        if (!Append(block, static_cast<int>(n)))
            return aborted();
    }
    params_.header = std::vector<uint8_t>();

    // File data is read straight into the block being assembled.
    std::vector<uint8_t> staging = NewBlockMemory();
    std::size_t fill = 0;
    for (const TCacheFile& file : params_.files) {
        if (!ReadFile(file, staging, fill)) {
            // Fail() has set the text of a read error; an abort keeps the writer's text.
            return aborted();
        }
    }
    if (fill > 0 && !Append(staging, static_cast<int>(fill)))
        return aborted();

    // Post-gap: a session shorter than 300 sectors is padded with zero sectors.
    if (params_.writePostGap && params_.sessionBytes < kPostGapBytes) {
        int64_t pad = kPostGapBytes - params_.sessionBytes;
        {
            std::lock_guard lock(mutex_);
            bytesLeft_ += pad;
        }
        while (pad > 0) {
            const int n = static_cast<int>(std::min<int64_t>(pad, kBlockBytes));
            std::vector<uint8_t> block = NewBlockMemory();
            std::memset(block.data(), 0, static_cast<std::size_t>(n));
            if (!Append(block, n))
                return aborted();
            pad -= n;
        }
    }
    std::lock_guard lock(mutex_);
    primed_ = true;
    done_ = true;
    changed_.notify_all();
}
