#include "link/serial_port.h"

#include "link/serial_port_p.h"

TComm::TComm() : d(std::make_unique<TCommPrivate>(this))
{
    d->CreateNotifyWindow();
    d->readSettings.intervalMs = d->s.ReadIntervalTimeout;
}

TComm::~TComm()
{
    Close();
    d->DestroyNotifyWindow();
}

namespace {
// Stores a line property; re-applies the line state when it changed while the port is open.
template <typename T>
void setLineProperty(TCommPrivate& d, T& field, T value)
{
    if (field == value)
        return;
    field = value;
    if (d.fd)
        d.ApplyState();
}

template <typename T>
void setTimeoutProperty(TCommPrivate& d, T& field, T value)
{
    if (field == value)
        return;
    field = value;
    d.ApplyTimeouts();
}
}  // namespace

void TComm::setCommName(const std::string& name) { d->s.CommName = name; }
void TComm::setBaudRate(uint32_t v) { setLineProperty(*d, d->s.BaudRate, v); }
void TComm::setParity(TParity v) { setLineProperty(*d, d->s.Parity, v); }
void TComm::setDtrControl(TDtrControl v) { setLineProperty(*d, d->s.DtrControl, v); }
void TComm::setTxContinueOnXoff(bool v) { setLineProperty(*d, d->s.TxContinueOnXoff, v); }
void TComm::setOutx_XonXoffFlow(bool v) { setLineProperty(*d, d->s.Outx_XonXoffFlow, v); }
void TComm::setIgnoreNullChar(bool v) { setLineProperty(*d, d->s.IgnoreNullChar, v); }
void TComm::setRtsControl(TRtsControl v) { setLineProperty(*d, d->s.RtsControl, v); }
void TComm::setByteSize(TByteSize v) { setLineProperty(*d, d->s.ByteSize, v); }
void TComm::setStopBits(TStopBits v) { setLineProperty(*d, d->s.StopBits, v); }
void TComm::setParityCheck(bool v) { setLineProperty(*d, d->s.ParityCheck, v); }
void TComm::setOutx_CtsFlow(bool v) { setLineProperty(*d, d->s.Outx_CtsFlow, v); }
void TComm::setOutx_DsrFlow(bool v) { setLineProperty(*d, d->s.Outx_DsrFlow, v); }
void TComm::setDsrSensitivity(bool v) { setLineProperty(*d, d->s.DsrSensitivity, v); }
void TComm::setInx_XonXoffFlow(bool v) { setLineProperty(*d, d->s.Inx_XonXoffFlow, v); }
void TComm::setReplaceWhenParityError(bool v) { setLineProperty(*d, d->s.ReplaceWhenParityError, v); }
void TComm::setXonLimit(uint16_t v) { setLineProperty(*d, d->s.XonLimit, v); }
void TComm::setXoffLimit(uint16_t v) { setLineProperty(*d, d->s.XoffLimit, v); }
void TComm::setXonChar(char v) { setLineProperty(*d, d->s.XonChar, v); }
void TComm::setXoffChar(char v) { setLineProperty(*d, d->s.XoffChar, v); }
void TComm::setReplacedChar(char v) { setLineProperty(*d, d->s.ReplacedChar, v); }
void TComm::setReadIntervalTimeout(uint32_t v) { setTimeoutProperty(*d, d->s.ReadIntervalTimeout, v); }
void TComm::setReadTotalTimeoutMultiplier(uint32_t v) { setTimeoutProperty(*d, d->s.ReadTotalTimeoutMultiplier, v); }
void TComm::setReadTotalTimeoutConstant(uint32_t v) { setTimeoutProperty(*d, d->s.ReadTotalTimeoutConstant, v); }
void TComm::setWriteTotalTimeoutMultiplier(uint32_t v) { setTimeoutProperty(*d, d->s.WriteTotalTimeoutMultiplier, v); }
void TComm::setWriteTotalTimeoutConstant(uint32_t v) { setTimeoutProperty(*d, d->s.WriteTotalTimeoutConstant, v); }

const std::string& TComm::CommName() const { return d->s.CommName; }
uint32_t TComm::BaudRate() const { return d->s.BaudRate; }
TParity TComm::Parity() const { return d->s.Parity; }
TByteSize TComm::ByteSize() const { return d->s.ByteSize; }
TStopBits TComm::StopBits() const { return d->s.StopBits; }
TDtrControl TComm::DtrControl() const { return d->s.DtrControl; }
TRtsControl TComm::RtsControl() const { return d->s.RtsControl; }
bool TComm::ParityCheck() const { return d->s.ParityCheck; }
bool TComm::Outx_CtsFlow() const { return d->s.Outx_CtsFlow; }
bool TComm::Outx_DsrFlow() const { return d->s.Outx_DsrFlow; }
bool TComm::DsrSensitivity() const { return d->s.DsrSensitivity; }
bool TComm::TxContinueOnXoff() const { return d->s.TxContinueOnXoff; }
bool TComm::Outx_XonXoffFlow() const { return d->s.Outx_XonXoffFlow; }
bool TComm::Inx_XonXoffFlow() const { return d->s.Inx_XonXoffFlow; }
bool TComm::ReplaceWhenParityError() const { return d->s.ReplaceWhenParityError; }
bool TComm::IgnoreNullChar() const { return d->s.IgnoreNullChar; }
uint16_t TComm::XonLimit() const { return d->s.XonLimit; }
uint16_t TComm::XoffLimit() const { return d->s.XoffLimit; }
char TComm::XonChar() const { return d->s.XonChar; }
char TComm::XoffChar() const { return d->s.XoffChar; }
char TComm::ReplacedChar() const { return d->s.ReplacedChar; }
uint32_t TComm::ReadIntervalTimeout() const { return d->s.ReadIntervalTimeout; }
uint32_t TComm::ReadTotalTimeoutMultiplier() const { return d->s.ReadTotalTimeoutMultiplier; }
uint32_t TComm::ReadTotalTimeoutConstant() const { return d->s.ReadTotalTimeoutConstant; }
uint32_t TComm::WriteTotalTimeoutMultiplier() const { return d->s.WriteTotalTimeoutMultiplier; }
uint32_t TComm::WriteTotalTimeoutConstant() const { return d->s.WriteTotalTimeoutConstant; }

bool TComm::isOpen() const { return d->fd.valid(); }
bool TComm::SendEmpty() const { return d->sendEmpty.load(); }
std::string TComm::DevicePath() const { return d->devicePath; }
int TComm::ApplyStateCount() const { return d->applyStateCount; }

void TComm::Open()
{
    if (d->fd)
        return;
    d->OpenDevice();
}

void TComm::Close()
{
    if (!d->fd)
        return;
    d->CloseDevice();
}

bool TComm::WriteData(const uint8_t* buffer, uint16_t length)
{
    if (!d->fd || length == 0)
        return false;
    {
        std::lock_guard<std::mutex> lock(d->queue.mutex);
        d->queue.blocks.emplace_back(buffer, buffer + length);
        d->sendEmpty = false;
    }
    const uint64_t one = 1;
    return posix::write(d->queue.wake.get(), &one, sizeof one) == sizeof one;
}
