#pragma once
// The read-ahead cache of a burn (TCacheThread): a thread that pulls the session's bytes
// from its stream (the header, every new file from the local disk, the padding:
// burn/iso/session_stream.h) into a bounded queue of blocks of up to 31 sectors, which the
// write thread takes one by one. The queue is the only thing the two
// threads share; both sides wait on condition variables, and either side can end the
// burn with an error text (the reader when a file cannot be read, the writer when the
// drive fails or the user aborts).
//
// The cache knows nothing of drives: the write thread (write_pipeline.h) does the writing.

#include "burn/iso/session_stream.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TCacheThread {
public:
    static constexpr int kBlockBytes = 63488;  // 31 sectors: one WRITE (10)

    // cacheSize: bytes of read-ahead (capacity = cacheSize div 65536 blocks).
    TCacheThread(TSessionStream stream, int cacheSize);
    // Stops the thread (as an abort) when it still runs.
    ~TCacheThread();
    TCacheThread(const TCacheThread&) = delete;
    TCacheThread& operator=(const TCacheThread&) = delete;

    void Start();
    // Blocks until the queue has been filled once (or everything is queued): true; or
    // until the cache failed first: false, with ErrorText set.
    bool WaitPrimed();
    // Takes the oldest block without waiting: its byte count; 0 no more data; -1 nothing
    // queued yet.
    int GetBlock(uint8_t* buffer);
    // Takes the oldest block, waiting for one: its byte count, or 0 when no more data will
    // come (everything delivered, or the cache failed or was aborted). The block's memory
    // is swapped with `buffer` (kBlockBytes long), whose old memory the cache reuses: the
    // data is never copied between the threads.
    int WaitBlock(std::vector<uint8_t>& buffer);
    // Ends the burn: the reader stops and drops its blocks. The text becomes the error
    // text unless one is already set ("OPERATION ABORTED BY USER" when empty).
    void Abort(const std::string& text = std::string());
    // Waits up to ms, returning early (true) when the burn was aborted meanwhile.
    bool WaitForAbort(int ms);
    // Waits for the thread to end.
    void Join();

    std::string ErrorText() const;
    std::string CurrentFile() const;
    int Capacity() const { return capacity_; }

private:
    void Run();
    void Fail(const std::string& text);
    struct Block {
        std::vector<uint8_t> data;  // kBlockBytes long
        int count = 0;              // valid bytes
    };
    // Removes the oldest block (its memory to the pool) and counts it delivered; under the
    // lock. Returns its byte count.
    int TakeFront();
    // A block's memory from the pool (or new), kBlockBytes long, contents undefined.
    std::vector<uint8_t> NewBlockMemory();
    // Appends a block, waiting while the queue is full; false when aborted.
    bool Append(std::vector<uint8_t>& data, int count);

    TSessionStream stream_;  // the reader thread's alone
    const int capacity_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;  // any change of the queue or the flags
    std::deque<Block> queue_;
    std::vector<std::vector<uint8_t>> pool_;  // memory of delivered blocks, for new ones
    int64_t bytesInCache_ = 0;
    bool primed_ = false;
    bool done_ = false;
    bool abort_ = false;
    std::string error_;
    std::string currentFile_;
    std::thread thread_;
};
