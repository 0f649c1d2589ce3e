#pragma once
// The serial port operations that the protocol component relies on, and nothing more:
// the line settings it changes, Open, Close, WriteData and three events. The real
// port (TComm) and in-memory fakes implement it.

#include "link/serial_types.h"

#include <cstdint>
#include <functional>
#include <string>

class ISerialPort {
public:
    using ReceiveDataHandler = std::function<void(const uint8_t* buffer, uint16_t length)>;
    using SendDataEmptyHandler = std::function<void()>;
    using NotifyHandler = std::function<void()>;

    virtual ~ISerialPort() = default;

    virtual void setCommName(const std::string& name) = 0;
    virtual void setBaudRate(uint32_t baud) = 0;
    virtual void setParity(TParity parity) = 0;
    virtual void setDtrControl(TDtrControl mode) = 0;
    virtual void setTxContinueOnXoff(bool on) = 0;
    virtual void setOutx_XonXoffFlow(bool on) = 0;
    virtual void setIgnoreNullChar(bool on) = 0;
    virtual void setRtsControl(TRtsControl mode) = 0;
    virtual void setByteSize(TByteSize size) = 0;
    virtual void setStopBits(TStopBits bits) = 0;
    virtual void setReadIntervalTimeout(uint32_t ms) = 0;

    // Opens the port named by CommName; throws ECommsError on failure.
    virtual void Open() = 0;
    // Closes the port; harmless when it is not open.
    virtual void Close() = 0;
    // Copies and queues a block; false when the port is not open or length is 0.
    virtual bool WriteData(const uint8_t* buffer, uint16_t length) = 0;

    // Raised on the UI thread for each received chunk, in arrival order.
    ReceiveDataHandler OnReceiveData;
    // Raised on the UI thread once after Open and each time the send queue empties.
    SendDataEmptyHandler OnSendDataEmpty;
    // Raised on the UI thread when a worker thread met an error it cannot recover from
    // (the device hung up or failed); nothing is read or written until the next Open.
    NotifyHandler OnRequestHangup;
};
