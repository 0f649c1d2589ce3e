#include "burn/write/write_cache.h"

#include <algorithm>
#include <cstring>

TCacheThread::TCacheThread(TSessionStream stream, int cacheSize)
    : stream_(std::move(stream)), capacity_(std::max(2, cacheSize / 65536))
{
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

void TCacheThread::Run()
{
    // Each block takes what the stream gives at once (up to 31 sectors): the header, the
    // file data and the padding each start a block of their own.
    for (;;) {
        std::vector<uint8_t> block = NewBlockMemory();
        const std::ptrdiff_t n = stream_.Read(block);
        {
            std::lock_guard lock(mutex_);
            currentFile_ = stream_.CurrentFile().empty() ? currentFile_ : stream_.CurrentFile();
        }
        if (n < 0) {
            const std::string& file = stream_.CurrentFile();
            const bool changed = stream_.FaultKind() == TSessionStream::Fault::Changed ||
                                 stream_.FaultKind() == TSessionStream::Fault::NotRegular;
            // A file that is not as it was added ends the burn with an error naming it.
            if (stream_.FaultKind() == TSessionStream::Fault::ListNotMade)
                Fail(stream_.FaultText());
            else
                Fail(changed ? "FILE \"" + file + "\" HAS CHANGED SINCE IT WAS ADDED"
                             : "CAN'T OPEN FILE \"" + file + "\" OR FILE IS IN USES BY OTHER SOFTWARE");
            return;
        }
        if (n == 0)
            break;
        if (!Append(block, static_cast<int>(n))) {
            Fail("OPERATION ABORTED BY USER");  // an abort keeps the writer's text
            return;
        }
    }
    std::lock_guard lock(mutex_);
    primed_ = true;
    done_ = true;
    changed_.notify_all();
}
