#pragma once
// Private state of TComm: the line settings, and the descriptor and threads while open.

#include "core/base/posix_io.h"
#include "link/serial_low_latency.h"
#include "link/serial_port.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <deque>
#include <mutex>
#include <termios.h>
#include <thread>
#include <vector>

struct TCommSettings {
    std::string CommName = "COM2";
    uint32_t BaudRate = 9600;
    bool ParityCheck = false;
    bool Outx_CtsFlow = false;
    bool Outx_DsrFlow = false;
    TDtrControl DtrControl = TDtrControl::DtrEnable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = true;
    bool Outx_XonXoffFlow = true;
    bool Inx_XonXoffFlow = true;
    bool ReplaceWhenParityError = false;
    bool IgnoreNullChar = false;
    TRtsControl RtsControl = TRtsControl::RtsEnable;
    uint16_t XonLimit = 500;
    uint16_t XoffLimit = 500;
    TByteSize ByteSize = TByteSize::_8;
    TParity Parity = TParity::None;
    TStopBits StopBits = TStopBits::_1;
    char XonChar = 17;
    char XoffChar = 19;
    char ReplacedChar = 0;
    uint32_t ReadIntervalTimeout = 100;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// Settings the reader needs while it runs; written by the UI thread.
struct TReadSettings {
    std::atomic<uint32_t> intervalMs{100};
    std::atomic<uint32_t> totalMultiplierMs{0};
    std::atomic<uint32_t> totalConstantMs{0};
    std::atomic<bool> ignoreNull{false};
    std::atomic<bool> dsrSensitivity{false};
};

// The writer's queue of blocks; wake (an eventfd) tells the writer that blocks wait.
struct TWriteQueue {
    std::mutex mutex;
    std::deque<std::vector<uint8_t>> blocks;
    posix::UniqueFd wake;
};

// One message from a worker thread to the owner's thread.
struct TPosted {
    unsigned generation;
    int message;
    uint32_t value;
    std::vector<uint8_t> bytes;
};

struct TCommPrivate {
    explicit TCommPrivate(TComm* owner) : q(owner) {}

    TComm* q;
    TCommSettings s;
    TReadSettings readSettings;
    std::string devicePath;
    posix::UniqueFd fd;          // the device; valid while open
    TLowLatencyState lowLatency; // the flags to put back at close
    termios savedTermios {};     // the line settings found at open, put back at close
    posix::UniqueFd closeEvent;  // eventfd: readable once Close has begun
    std::atomic<bool> closing{false};
    std::atomic<bool> sendEmpty{true};
    std::thread reader;
    std::thread writer;
    TWriteQueue queue;
    // Hand-over to the owner's thread: a queue under a lock, and an eventfd that a socket
    // notifier on that thread watches, so messages are handled in posting order and only
    // while that thread processes its events.
    std::mutex postMutex;
    std::deque<TPosted> posted;
    posix::UniqueFd notify;
    std::unique_ptr<QObject> notifyWindow;
    bool dispatching = false;
    unsigned generation = 0;                // counts opens; late events of older ones are dropped
    int applyStateCount = 0;

    void ApplyState();
    void ApplyTimeouts();
    void OpenDevice();
    void CloseDevice();
    void ReleaseDescriptors();  // the events and the device, in that order
    void ReadThread(int fd, int closeFd, unsigned generation);
    void WriteThread(int fd, int closeFd, unsigned generation);
    void CreateNotifyWindow();
    void DestroyNotifyWindow();
    void Post(TPosted message);
    void PostReceive(unsigned generation, std::vector<uint8_t> bytes);
    void PostNotify(unsigned generation, int message, uint32_t value);
    void DispatchPosted();
};

// The termios of a line with these settings, starting from the device's current one.
termios LineTermios(const TCommSettings& settings, termios current);
