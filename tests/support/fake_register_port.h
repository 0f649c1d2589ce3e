#pragma once
// An in-process serial port that plays a register: it answers the handshake only at
// chosen speeds, answers frames through a responder, and injects faults. Everything it
// delivers arrives later through the event loop, as from a real port, at the times of the
// wait clock it is given (the system's by default).

#include "link/ibus_frame.h"
#include "link/serial_port_interface.h"
#include "link/wait_clock.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class FakeRegisterPort : public ISerialPort {
public:
    struct Written {
        std::vector<uint8_t> bytes;
        uint32_t baud;
    };
    // Builds the reply payload for a request payload; return false to stay silent.
    using Responder = std::function<bool(const ibus::Payload& request, ibus::Payload& reply)>;

    explicit FakeRegisterPort(IWaitClock& clock = TSteadyWaitClock::Instance());
    ~FakeRegisterPort() override;

    void setCommName(const std::string& name) override { commName = name; }
    void setBaudRate(uint32_t baud) override { baudRate = baud; baudHistory.push_back(baud); }
    void setParity(TParity p) override { parity = p; }
    void setDtrControl(TDtrControl v) override { dtrControl = v; }
    void setTxContinueOnXoff(bool v) override { txContinueOnXoff = v; }
    void setOutx_XonXoffFlow(bool v) override { outxXonXoffFlow = v; }
    void setIgnoreNullChar(bool v) override { ignoreNullChar = v; }
    void setRtsControl(TRtsControl v) override { rtsControl = v; }
    void setByteSize(TByteSize v) override { byteSize = v; }
    void setStopBits(TStopBits v) override { stopBits = v; }
    void setReadIntervalTimeout(uint32_t ms) override { readInterval = ms; }
    void Open() override;
    void Close() override { open = false; }
    bool WriteData(const uint8_t* buffer, uint16_t length) override;

    // Delivers bytes to the receiver after delayMs, in chunks of at most chunkSize.
    void Deliver(std::vector<uint8_t> bytes, int delayMs = 1, std::size_t chunkSize = 0);
    // The device goes away after delayMs: the hang-up is reported, nothing more is sent
    // or answered.
    void HangUp(int delayMs);
    // A whole reply frame for a payload (checksum stored unless corrupt is set).
    static std::vector<uint8_t> FrameBytes(ibus::Payload payload, bool corrupt = false);

    // Register behaviour.
    std::set<uint32_t> answerSpeeds{9600};  // handshake answered with 0x02 at these speeds
    uint8_t otherSpeedReply = 0;             // reply at other speeds (0: silence)
    bool silent = false;                     // answers nothing at all
    bool reportSent = true;                  // reports the send queue empty
    int sentDelayMs = 0;                     // time from WriteData to the empty report
    int replyDelayMs = 5;                    // time from WriteData to the reply
    std::size_t chunkSize = 0;               // 0: a reply arrives as one chunk
    int corruptReplies = 0;                  // the next N frame replies carry a wrong checksum
    int nakReplies = 0;                      // the next N frame requests are answered 0x05
    bool doubleFrame = false;                // two frames in one chunk
    bool openFails = false;
    Responder responder;                     // default: echo command and parameter, data zero

    // What happened.
    std::string commName;
    uint32_t baudRate = 0;
    TParity parity = TParity::None;
    uint32_t readInterval = 0;
    // Line settings as last set; empty when never set.
    std::optional<TDtrControl> dtrControl;
    std::optional<bool> txContinueOnXoff, outxXonXoffFlow, ignoreNullChar;
    std::optional<TRtsControl> rtsControl;
    std::optional<TByteSize> byteSize;
    std::optional<TStopBits> stopBits;
    std::vector<uint32_t> baudHistory;
    std::vector<Written> written;
    std::vector<ibus::Payload> requests;  // unpacked frames received
    int openCount = 0;
    bool open = false;

private:
    void React(const std::vector<uint8_t>& block);
    // Runs `action` after delayMs on the port's clock, unless the port is gone by then.
    void Later(int delayMs, std::function<void()> action);

    IWaitClock& clock_;
    std::vector<std::unique_ptr<IWaitClock::Alarm>> alarms_;
};
