// TComm on POSIX termios: the device opened non-blocking and locked for exclusive use,
// a reader that waits in poll() and keeps the read-interval time-out in user space, and
// a writer that drains a queue of blocks. Both wake on an eventfd when Close begins.

#include "link/port_names.h"
#include "core/base/device_access.h"
#include "link/serial_port_p.h"

#include <QSocketNotifier>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadBufferSize = 2048;
// How often the reader looks at the line-event counters of a device that has them.
constexpr int kLineEventPollMs = 200;

enum NotifyMessage { kReceiveData = 1025, kReceiveError = 1026, kRequestHangup = 1027, kModemStateChange = 1028,
                     kSendDataEmpty = 1029 };

speed_t speedConstant(uint32_t baud, bool* known)
{
    static const struct { uint32_t baud; speed_t constant; } kSpeeds[] = {
        {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200},
        {300, B300}, {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400},
        {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000},
    };
    for (const auto& s : kSpeeds) {
        if (s.baud == baud) {
            *known = true;
            return s.constant;
        }
    }
    *known = false;
    return B0;
}

void setModemLine(int fd, int line, bool on)
{
    posix::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);  // a pty has no modem lines
}

// Best-effort priority for a worker thread; a priority the process may not take is skipped.
void raiseThreadPriority(int step)
{
    ::setpriority(PRIO_PROCESS, 0, -step);
}

std::string openFailureHint(int error, const std::string& path)
{
    switch (error) {
    case EACCES:
    case EPERM: {
        const std::string hint = devaccess::accessHint(path);
        return extra::Format("PortDenied", {path}) + (hint.empty() ? "" : " " + hint);
    }
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return extra::Format("PortMissing", {path});
    case EBUSY:
        return extra::Format("PortBusy", {path});
    default:
        return path + ": " + posix::errnoMessage(error);
    }
}

}  // namespace

void TCommPrivate::OpenDevice()
{
    devicePath = ResolvePortName(s.CommName).toStdString();
    if (devicePath.empty())
        throw ECommsError("Error opening serial port",
                          extra::Format("PortNotChosen", {s.CommName}));
    posix::UniqueFd handle(posix::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!handle) {
        const int error = errno;
        throw ECommsError("Error opening serial port", openFailureHint(error, devicePath));
    }
    struct stat st {};
    if (::fstat(handle.get(), &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(handle.get()))
        throw ECommsError("File handle is not a comm handle ");
    // The lock keeps a second copy of this program off the line; TIOCEXCL below keeps
    // programs that do not lock off it too.
    if (::flock(handle.get(), LOCK_EX | LOCK_NB) != 0)
        throw ECommsError("Error opening serial port", openFailureHint(EBUSY, devicePath));
    termios tio {};
    if (::tcgetattr(handle.get(), &tio) != 0)
        throw ECommsError("Cannot setup comm buffer");
    savedTermios = tio;
    posix::ioctl(handle.get(), TIOCEXCL, 0);
    lowLatency = EnableLowLatency(handle.get());

    fd = std::move(handle);
    ::tcflush(fd.get(), TCIOFLUSH);
    sendEmpty = true;
    ApplyTimeouts();
    ApplyState();

    closeEvent.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    queue.wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!closeEvent || !queue.wake || !notify) {
        ReleaseDescriptors();
        throw ECommsError("Unable to create event");
    }
    closing = false;
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        queue.blocks.clear();
    }
    const unsigned gen = ++generation;
    try {
        reader = std::thread([this, h = fd.get(), c = closeEvent.get(), gen] { ReadThread(h, c, gen); });
    } catch (const std::system_error&) {
        ReleaseDescriptors();
        throw ECommsError("Unable to create read thread");
    }
    try {
        writer = std::thread([this, h = fd.get(), c = closeEvent.get(), gen] { WriteThread(h, c, gen); });
    } catch (const std::system_error&) {
        CloseDevice();
        throw ECommsError("Unable to create write thread");
    }
}

void TCommPrivate::CloseDevice()
{
    closing = true;
    const uint64_t one = 1;
    posix::write(closeEvent.get(), &one, sizeof one);

    ::tcflush(fd.get(), TCIFLUSH);
    if (reader.joinable())
        reader.join();
    ::tcflush(fd.get(), TCOFLUSH);
    sendEmpty = true;
    if (writer.joinable())
        writer.join();

    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        queue.blocks.clear();
    }
    {
        std::lock_guard<std::mutex> lock(postMutex);
        posted.clear();
    }
    ReleaseDescriptors();
}

void TCommPrivate::ReleaseDescriptors()
{
    closeEvent.reset();
    queue.wake.reset();
    if (fd) {
        // The line as it was found: the next program on it (a terminal, a login) gets
        // its own settings back, not this program's raw mode.
        posix::tcsetattr(fd.get(), TCSANOW, &savedTermios);
        RestoreLowLatency(fd.get(), lowLatency);
        posix::ioctl(fd.get(), TIOCNXCL, 0);
    }
    lowLatency = {};
    fd.reset();
}

termios LineTermios(const TCommSettings& s, termios tio)
{
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                          IXOFF | IXANY | INPCK | IGNPAR);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    bool known = false;
    const speed_t speed = speedConstant(s.BaudRate, &known);
    if (known) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
    }
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[static_cast<int>(s.ByteSize) & 3];
    switch (s.Parity) {
    case TParity::None: break;
    case TParity::Odd: tio.c_cflag |= PARENB | PARODD; break;
    case TParity::Even: tio.c_cflag |= PARENB; break;
    case TParity::Mark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case TParity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (s.StopBits != TStopBits::_1)
        tio.c_cflag |= CSTOPB;  // the line knows one or two; 1.5 is sent as two
    // Without parity checking every received byte is delivered, one with a framing error
    // included (as the line discipline reads it); IGNPAR would drop it.
    if (s.ParityCheck)
        tio.c_iflag |= INPCK;
    if (s.Outx_CtsFlow || s.RtsControl == TRtsControl::RtsHandshake)
        tio.c_cflag |= CRTSCTS;
    if (s.Outx_XonXoffFlow)
        tio.c_iflag |= IXON;
    if (s.Inx_XonXoffFlow)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
    return tio;
}

void TCommPrivate::ApplyState()
{
    termios tio {};
    if (::tcgetattr(fd.get(), &tio) == 0) {
        tio = LineTermios(s, tio);
        posix::tcsetattr(fd.get(), TCSANOW, &tio);
    }
    if (s.DtrControl != TDtrControl::DtrHandshake)
        setModemLine(fd.get(), TIOCM_DTR, s.DtrControl == TDtrControl::DtrEnable);
    if (s.RtsControl != TRtsControl::RtsHandshake)
        setModemLine(fd.get(), TIOCM_RTS, s.RtsControl != TRtsControl::RtsDisable);
    readSettings.ignoreNull = s.IgnoreNullChar;
    readSettings.dsrSensitivity = s.DsrSensitivity;
    ++applyStateCount;
    // The line settles before anything is sent with the new settings: a UART (and even
    // more a USB adapter, which takes the change over its own bus) may still be switching
    // when the caller writes, and the handshake's speed search writes its probe right after
    // each change of speed. 5 ms is below what a user notices and longer than a switch.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void TCommPrivate::ApplyTimeouts()
{
    readSettings.intervalMs = s.ReadIntervalTimeout;
    readSettings.totalMultiplierMs = s.ReadTotalTimeoutMultiplier;
    readSettings.totalConstantMs = s.ReadTotalTimeoutConstant;
}

void TCommPrivate::CreateNotifyWindow()
{
    notify.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    notifyWindow = std::make_unique<QObject>();
    if (!notify)
        return;  // Open then reports that it cannot create its event
    auto* notifier = new QSocketNotifier(notify.get(), QSocketNotifier::Read, notifyWindow.get());
    QObject::connect(notifier, &QSocketNotifier::activated, notifyWindow.get(),
                     [this] { DispatchPosted(); });
}

void TCommPrivate::DestroyNotifyWindow()
{
    notifyWindow.reset();
    notify.reset();
}

void TCommPrivate::Post(TPosted message)
{
    {
        std::lock_guard<std::mutex> lock(postMutex);
        posted.push_back(std::move(message));
    }
    const uint64_t one = 1;
    posix::write(notify.get(), &one, sizeof one);
}

void TCommPrivate::PostReceive(unsigned gen, std::vector<uint8_t> bytes)
{
    Post({gen, kReceiveData, 0, std::move(bytes)});
}

void TCommPrivate::PostNotify(unsigned gen, int message, uint32_t value)
{
    Post({gen, message, value, {}});
}

void TCommPrivate::DispatchPosted()
{
    uint64_t count = 0;
    posix::read(notify.get(), &count, sizeof count);
    // A handler that runs the event loop must not overtake the messages still queued.
    if (dispatching)
        return;
    dispatching = true;
    for (;;) {
        TPosted m;
        {
            std::lock_guard<std::mutex> lock(postMutex);
            if (posted.empty())
                break;
            m = std::move(posted.front());
            posted.pop_front();
        }
        // Messages of an earlier opening, or arriving after Close, are dropped.
        if (m.generation != generation || !fd)
            continue;
        switch (m.message) {
        case kReceiveData:
            if (q->OnReceiveData)
                q->OnReceiveData(m.bytes.data(), static_cast<uint16_t>(m.bytes.size()));
            break;
        case kReceiveError:
            if (q->OnReceiveError) q->OnReceiveError(m.value);
            break;
        case kRequestHangup:
            if (q->OnRequestHangup) q->OnRequestHangup();
            break;
        case kModemStateChange:
            if (q->OnModemStateChange) q->OnModemStateChange(m.value);
            break;
        case kSendDataEmpty:
            if (q->OnSendDataEmpty) q->OnSendDataEmpty();
            break;
        }
    }
    dispatching = false;
}

void TCommPrivate::ReadThread(int handle, int closeFd, unsigned gen)
{
    // Named so that a look at the process (top -H, a debugger) tells the port's threads apart.
    ::pthread_setname_np(::pthread_self(), "serial-read");
    raiseThreadPriority(2);
    serial_icounter_struct last {};
    const bool hasCounters = posix::ioctl(handle, TIOCGICOUNT, &last) == 0;

    std::vector<uint8_t> chunk;
    chunk.reserve(kReadBufferSize);
    Clock::time_point lastByte {};
    Clock::time_point chunkStart {};
    auto handOver = [&] {
        if (!chunk.empty())
            PostReceive(gen, std::move(chunk));
        chunk = {};
        chunk.reserve(kReadBufferSize);
    };

    for (;;) {
        // The wait ends at the read-interval gap after the last byte (or at the total
        // time-out of the chunk), measured to the microsecond, not rounded down to 0 ms.
        const auto now = Clock::now();
        std::chrono::nanoseconds wait(-1);
        if (!chunk.empty()) {
            wait = lastByte + std::chrono::milliseconds(readSettings.intervalMs.load()) - now;
            // At most 2^32 * 2049 ms: no overflow in 64 bits.
            const uint64_t totalMs = uint64_t{readSettings.totalMultiplierMs.load()} * kReadBufferSize +
                                     readSettings.totalConstantMs.load();
            if (totalMs > 0)
                wait = std::min<std::chrono::nanoseconds>(
                    wait, chunkStart + std::chrono::milliseconds(static_cast<int64_t>(totalMs)) - now);
            if (wait.count() <= 0) {
                handOver();
                continue;
            }
        }
        if (hasCounters) {
            const std::chrono::nanoseconds linePoll = std::chrono::milliseconds(kLineEventPollMs);
            wait = wait.count() < 0 ? linePoll : std::min(wait, linePoll);
        }
        timespec ts {};
        timespec* timeout = nullptr;
        if (wait.count() >= 0) {
            ts.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
            ts.tv_nsec = static_cast<long>(wait.count() % 1000000000);
            timeout = &ts;
        }

        pollfd fds[2] = {{handle, POLLIN, 0}, {closeFd, POLLIN, 0}};
        if (posix::ppoll(fds, 2, timeout) < 0) {
            PostNotify(gen, kRequestHangup, 0);
            break;
        }
        if (fds[1].revents)
            break;
        if (fds[0].revents & POLLIN) {
            uint8_t buffer[kReadBufferSize];
            const ssize_t n = posix::read(handle, buffer, kReadBufferSize - chunk.size());
            if (n > 0) {
                if (chunk.empty())
                    chunkStart = Clock::now();
                lastByte = Clock::now();
                int modem = 0;
                const bool dropForDsr = readSettings.dsrSensitivity &&
                                        posix::ioctl(handle, TIOCMGET, &modem) == 0 &&
                                        !(modem & TIOCM_DSR);
                if (!dropForDsr) {
                    for (ssize_t i = 0; i < n; ++i)
                        if (buffer[i] != 0 || !readSettings.ignoreNull)
                            chunk.push_back(buffer[i]);
                }
                if (chunk.size() >= kReadBufferSize || readSettings.intervalMs == 0)
                    handOver();
            } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                // The device went away (adapter pulled, other side of a pty closed).
                handOver();
                PostNotify(gen, kRequestHangup, 0);
                break;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            handOver();
            PostNotify(gen, kRequestHangup, 0);
            break;
        }

        if (hasCounters) {
            serial_icounter_struct counts {};
            if (posix::ioctl(handle, TIOCGICOUNT, &counts) == 0) {
                uint32_t errors = 0;
                if (counts.buf_overrun != last.buf_overrun) errors |= TComm::kErrRxOver;
                if (counts.overrun != last.overrun) errors |= TComm::kErrOverrun;
                if (counts.parity != last.parity) errors |= TComm::kErrRxParity;
                if (counts.frame != last.frame) errors |= TComm::kErrFrame;
                if (counts.brk != last.brk) errors |= TComm::kErrBreak;
                if (errors)
                    PostNotify(gen, kReceiveError, errors);
                uint32_t modem = 0;
                if (counts.dcd != last.dcd) modem |= TComm::kModemCarrier;
                if (counts.rng != last.rng) modem |= TComm::kModemRing;
                if (modem)
                    PostNotify(gen, kModemStateChange, modem);
                last = counts;
            }
        }
    }
    ::tcflush(handle, TCIFLUSH);
}

void TCommPrivate::WriteThread(int handle, int closeFd, unsigned gen)
{
    ::pthread_setname_np(::pthread_self(), "serial-write");
    raiseThreadPriority(1);
    const int wakeFd = queue.wake.get();
    bool reportEmpty = true;
    for (;;) {
        std::vector<uint8_t> block;
        bool empty;
        {
            std::lock_guard<std::mutex> lock(queue.mutex);
            empty = queue.blocks.empty();
            if (empty) {
                sendEmpty = true;
            } else {
                block = std::move(queue.blocks.front());
                queue.blocks.pop_front();
            }
        }
        if (empty) {
            if (reportEmpty) {
                PostNotify(gen, kSendDataEmpty, 0);
                reportEmpty = false;
            }
            pollfd fds[2] = {{wakeFd, POLLIN, 0}, {closeFd, POLLIN, 0}};
            if (posix::poll(fds, 2, -1) < 0) {
                PostNotify(gen, kRequestHangup, 0);
                break;
            }
            if (fds[1].revents)
                break;
            uint64_t count = 0;
            posix::read(wakeFd, &count, sizeof count);
            continue;
        }
        if (closing)
            break;

        std::size_t done = 0;
        bool failed = false;
        while (done < block.size() && !failed) {
            const ssize_t n = posix::write(handle, block.data() + done, block.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                if (errno != EBADF)
                    PostNotify(gen, kRequestHangup, 0);
                failed = true;
                break;
            }
            pollfd fds[2] = {{handle, POLLOUT, 0}, {closeFd, POLLIN, 0}};
            if (posix::poll(fds, 2, -1) < 0 || fds[1].revents) {
                failed = true;
            } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                PostNotify(gen, kRequestHangup, 0);
                failed = true;
            }
        }
        if (failed)
            break;
        // The block counts as sent when it has left the line, not when it was buffered.
        posix::tcdrain(handle);
        reportEmpty = true;
    }
    ::tcflush(handle, TCOFLUSH);
    sendEmpty = true;
}
