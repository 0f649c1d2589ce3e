#pragma once
// A reader that blocks on a FIFO would hang its test. This guard opens the FIFO for writing
// (and closes it at once) if the test still runs after a generous while, so that such a
// reader sees an empty file and its test fails instead of hanging.

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

class FifoUnblocker {
public:
    explicit FifoUnblocker(QByteArray path)
        : path_(std::move(path)), thread_([this] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (wake_.wait_for(lock, std::chrono::seconds(10), [this] { return done_; }))
                  return;
              const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
              if (fd >= 0)
                  ::close(fd);
          })
    {
    }
    ~FifoUnblocker()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    QByteArray path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};
