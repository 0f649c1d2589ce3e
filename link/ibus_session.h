#pragma once
// TVeskIBusComm: drives one register over one serial port. Builds payloads, packs and
// sends frames, waits for the register's answer while the event loop keeps running,
// and offers connect (handshake with speed search, information query), command
// exchange with retries and disconnect. Keeps a trace that is written to DEBUG.LOG
// at every closing of the port. A reply that comes after its wait has ended is never
// taken for the answer to a later request, and a port that hangs up ends the exchange
// under way at once. Every wait runs on the session's clock (the system's unless the
// creator gives another).

#include "link/ibus_frame.h"
#include "link/ibus_late_replies.h"
#include "link/ibus_receiver.h"
#include "link/serial_port_interface.h"
#include "link/wait_clock.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class TBaudRate : uint8_t { tbr9600, tbr19200, tbr38400, tbr57600, tbr115200 };
enum class TBroadCastScaleType : uint8_t { tbs1024, tbs5120 };

enum WaitResult : int {
    wrPositive = 1,
    wrFrame = 2,
    wrNegative = 4,
    wrReply55 = -1,
    wrTimeout = -2,
    wrAborted = -3,
};

inline constexpr std::array<uint32_t, 5> BaudTable = {9600, 19200, 38400, 57600, 115200};
inline constexpr int kMaxRetryCount = 30;

class TVeskIBusComm : public QObject {
    Q_OBJECT
public:
    // Takes ownership of the port; without one the real serial port (TComm) is created.
    // The clock, when given, must outlive the session.
    explicit TVeskIBusComm(std::unique_ptr<ISerialPort> port = nullptr, IWaitClock* clock = nullptr,
                           QObject* parent = nullptr);
    ~TVeskIBusComm() override;

    // Published properties.
    std::string CommName;
    bool isActive() const { return active_; }
    int BaudRate() const { return baudIndex_; }
    // Stores the index (modulo 128) and sets the port's speed at once when it names a speed.
    void setBaudRate(int index);
    TParity Parity = TParity::None;
    bool BroadCast = false;
    TBroadCastScaleType BroadCastScaleType = TBroadCastScaleType::tbs1024;
    int BroadCastInterval = 200;
    int RetryInterval = 800;
    int RetryCount() const { return retryCount_; }
    void setRetryCount(int count);

    std::array<uint8_t, ibus::kDataBlockSize> DataBlock{};
    std::array<int32_t, 56> BroadcastAddresses{};
    QStringList DebugLog;
    bool LogEnabled = false;

    // Shows a message to the operator (the open-failure box); set by the window or the CLI.
    std::function<void(const QString& text)> OnShowError;
    // When set, a DEBUG.LOG that cannot be written is passed here instead of thrown (the
    // command line: a warning, since the trace is no part of the user's data).
    std::function<void(const QString& text)> OnLogWriteError;

    bool Aborted() const { return aborted_; }
    bool ChecksumError() const { return checksumError_; }
    // True once the open port has hung up or failed; every wait then ends at once.
    bool PortLost() const { return portLost_; }

    // Opens the port; on failure shows the open-failure message and rethrows ECommsError.
    void OpenPort();
    // Closes the port and writes DEBUG.LOG; throws FileError when the log cannot be written
    // (unless OnLogWriteError takes the error).
    void ClosePort();
    bool ConnectEcr(int32_t address, bool strict);
    bool ExchangeCommand(uint8_t command, uint16_t param);
    bool DisconnectEcr(int32_t address, uint8_t endCode);
    void AbortExchange();
    WaitResult WaitReply(int timeoutMs);

    ISerialPort& Port() { return *port_; }
    // The text of the open-failure message for a port name.
    static QString OpenFailureText(const std::string& commName);

private:
    bool Handshake(int32_t address, bool strict);
    bool BroadcastHandshake();
    bool QueryEcrInfo();
    void SendFrame(std::size_t length);
    void ReceiveData(const uint8_t* buffer, uint16_t length);
    void TraceReply();
    void PortHungUp();
    void ProcessEventsUntilMore();
    static void PutAddress(ibus::Payload& payload, std::size_t at, int32_t address);

    std::unique_ptr<ISerialPort> port_;
    IWaitClock* clock_;
    std::unique_ptr<IWaitClock::Alarm> timeout_;  // the running wait's time-out
    bool active_ = false;
    int baudIndex_ = 0;
    int retryCount_ = 20;

    std::array<uint8_t, ibus::kFrameSize + 1> frameBuf_{};  // the frame being sent, and its trailer
    ibus::Payload payload_{};
    ibus::Payload request_{};
    TIBusReceiver receiver_;
    TLateReplies lateReplies_;
    IWaitClock::Clock::time_point waitStarted_{};  // when the last wait's time-out started
    bool checksumError_ = false;
    bool timedOut_ = false;
    bool sent_ = true;
    bool aborted_ = false;
    bool portLost_ = false;
};
