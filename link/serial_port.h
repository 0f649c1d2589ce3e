#pragma once
// TComm: the serial port component. Opens a named port, configures the line from its
// properties, and runs a reader and a writer thread that hand everything back to the
// thread that created the component, as queued calls in posting order.

#include "link/serial_port_interface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct TCommPrivate;

class TComm : public ISerialPort {
public:
    using ReceiveErrorHandler = std::function<void(uint32_t eventMask)>;
    using ModemStateChangeHandler = std::function<void(uint32_t modemEvent)>;

    // Line error bits passed to OnReceiveError.
    static constexpr uint32_t kErrRxOver = 0x01, kErrOverrun = 0x02, kErrRxParity = 0x04,
                              kErrFrame = 0x08, kErrBreak = 0x10;
    // Modem events passed to OnModemStateChange.
    static constexpr uint32_t kModemRing = 4, kModemCarrier = 8;

    TComm();
    ~TComm() override;
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    // ISerialPort
    void setCommName(const std::string& name) override;
    void setBaudRate(uint32_t baud) override;
    void setParity(TParity parity) override;
    void setDtrControl(TDtrControl mode) override;
    void setTxContinueOnXoff(bool on) override;
    void setOutx_XonXoffFlow(bool on) override;
    void setIgnoreNullChar(bool on) override;
    void setRtsControl(TRtsControl mode) override;
    void setByteSize(TByteSize size) override;
    void setStopBits(TStopBits bits) override;
    void setReadIntervalTimeout(uint32_t ms) override;
    void Open() override;
    void Close() override;
    bool WriteData(const uint8_t* buffer, uint16_t length) override;

    // The other line properties.
    void setParityCheck(bool on);
    void setOutx_CtsFlow(bool on);
    void setOutx_DsrFlow(bool on);
    void setDsrSensitivity(bool on);
    void setInx_XonXoffFlow(bool on);
    void setReplaceWhenParityError(bool on);
    void setXonLimit(uint16_t limit);
    void setXoffLimit(uint16_t limit);
    void setXonChar(char c);
    void setXoffChar(char c);
    void setReplacedChar(char c);
    void setReadTotalTimeoutMultiplier(uint32_t ms);
    void setReadTotalTimeoutConstant(uint32_t ms);
    void setWriteTotalTimeoutMultiplier(uint32_t ms);
    void setWriteTotalTimeoutConstant(uint32_t ms);

    const std::string& CommName() const;
    uint32_t BaudRate() const;
    TParity Parity() const;
    TByteSize ByteSize() const;
    TStopBits StopBits() const;
    TDtrControl DtrControl() const;
    TRtsControl RtsControl() const;
    bool ParityCheck() const;
    bool Outx_CtsFlow() const;
    bool Outx_DsrFlow() const;
    bool DsrSensitivity() const;
    bool TxContinueOnXoff() const;
    bool Outx_XonXoffFlow() const;
    bool Inx_XonXoffFlow() const;
    bool ReplaceWhenParityError() const;
    bool IgnoreNullChar() const;
    uint16_t XonLimit() const;
    uint16_t XoffLimit() const;
    char XonChar() const;
    char XoffChar() const;
    char ReplacedChar() const;
    uint32_t ReadIntervalTimeout() const;
    uint32_t ReadTotalTimeoutMultiplier() const;
    uint32_t ReadTotalTimeoutConstant() const;
    uint32_t WriteTotalTimeoutMultiplier() const;
    uint32_t WriteTotalTimeoutConstant() const;

    bool isOpen() const;
    // True while no block waits to be written.
    bool SendEmpty() const;
    // The device path of the open port (or of the last Open attempt).
    std::string DevicePath() const;
    // How many times the line state has been applied since creation (for tests).
    int ApplyStateCount() const;

    ReceiveErrorHandler OnReceiveError;
    ModemStateChangeHandler OnModemStateChange;

private:
    friend struct TCommPrivate;
    std::unique_ptr<TCommPrivate> d;
};
