#include "link/ibus_session.h"

#include "core/safe_file.h"
#include "core/settings.h"
#include "core/base/extra_texts.h"
#include "core/texts.h"
#include "link/ibus_trace.h"
#include "link/serial_port.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <algorithm>

namespace {
constexpr int kHandshakeAttempts = 10;
constexpr int kHandshakeTimeoutMs = 800;
constexpr int kDisconnectAttempts = 3;
constexpr int kDisconnectTimeoutMs = 100;
// Bounds the wait for the port's report that follows Open.
constexpr int kOpenReportTimeoutMs = 1000;
constexpr uint8_t kGroupCommand = 14;
constexpr uint16_t kConnectParam = 1;
constexpr uint16_t kDisconnectParam = 2;
constexpr uint16_t kInfoParam = 16;

// The speed of a table index; the caller has checked that the table has it.
uint32_t speedAt(int index)
{
    return BaudTable[static_cast<std::size_t>(index)];
}

// Bytes 7 to 12 of both handshakes: the PC's date and time, one BCD byte each.
void putDateTime(ibus::Payload& payload)
{
    const QDateTime now = QDateTime::currentDateTime();
    const int fields[] = {now.date().year(), now.date().month(), now.date().day(),
                          now.time().hour(), now.time().minute(), now.time().second()};
    for (std::size_t i = 0; i < 6; ++i)
        payload[7 + i] = ibus::BcdByte(static_cast<uint16_t>(fields[i]));
}
}  // namespace

TVeskIBusComm::TVeskIBusComm(std::unique_ptr<ISerialPort> port, IWaitClock* clock, QObject* parent)
    : QObject(parent), port_(port ? std::move(port) : std::make_unique<TComm>()),
      clock_(clock ? clock : &TSteadyWaitClock::Instance())
{
    port_->setBaudRate(9600);
    port_->setDtrControl(TDtrControl::DtrDisable);
    port_->setTxContinueOnXoff(false);
    port_->setOutx_XonXoffFlow(false);
    port_->setIgnoreNullChar(false);
    port_->setRtsControl(TRtsControl::RtsEnable);
    port_->setByteSize(TByteSize::_8);
    port_->setParity(TParity::None);
    port_->setStopBits(TStopBits::_1);
    port_->setReadIntervalTimeout(1);
    port_->OnReceiveData = [this](const uint8_t* b, uint16_t n) { ReceiveData(b, n); };
    port_->OnSendDataEmpty = [this] { sent_ = true; };
    port_->OnRequestHangup = [this] { PortHungUp(); };
}

TVeskIBusComm::~TVeskIBusComm()
{
    port_->OnReceiveData = nullptr;
    port_->OnSendDataEmpty = nullptr;
    port_->OnRequestHangup = nullptr;
    port_->Close();
}

void TVeskIBusComm::setBaudRate(int index)
{
    baudIndex_ = ((index % 128) + 128) % 128;
    if (baudIndex_ < static_cast<int>(BaudTable.size()))
        port_->setBaudRate(speedAt(baudIndex_));
}

void TVeskIBusComm::setRetryCount(int count)
{
    retryCount_ = std::clamp(count, 0, kMaxRetryCount);
}

QString TVeskIBusComm::OpenFailureText(const std::string& commName)
{
    return texts::Message(texts::SErrorOpen) + QString::fromStdString(commName) +
           QStringLiteral("!\r\n") + texts::Message(texts::Smessage);
}

void TVeskIBusComm::OpenPort()
{
    port_->setCommName(CommName);
    if (active_) {
        port_->Close();
        active_ = false;
    }
    try {
        // A speed index past the table would run the line at no defined speed.
        if (baudIndex_ >= static_cast<int>(BaudTable.size())) {
            throw ECommsError(extra::Format("PortBadSpeed", {std::to_string(baudIndex_)}));
        }
        port_->Open();
    } catch (const ECommsError& error) {
        QString text = OpenFailureText(CommName);
        if (baudIndex_ >= static_cast<int>(BaudTable.size()) || !error.hint().empty())
            text += QStringLiteral("\r\n") +
                    QString::fromStdString(error.hint().empty() ? error.what() : error.hint());
        if (OnShowError)
            OnShowError(text);
        throw;
    }
    active_ = true;
    portLost_ = false;
    lateReplies_.Clear();
    DebugLog.clear();
    // The port reports its empty send queue once right after opening; take that report
    // here so that the first wait's time-out starts only when its own frame has left.
    sent_ = false;
    bool expired = false;
    const std::unique_ptr<IWaitClock::Alarm> guard = clock_->After(kOpenReportTimeoutMs, [&expired] { expired = true; });
    while (!sent_ && !expired && !portLost_)
        ProcessEventsUntilMore();
    sent_ = true;
}

void TVeskIBusComm::ClosePort()
{
    active_ = false;
    port_->Close();
    const QStringList& log = LogEnabled ? DebugLog : QStringList();
    try {
        writeFileAtomically(DebugLogPath(), ibus::TraceFileContent(log));
    } catch (const FileError& e) {
        if (!OnLogWriteError)
            throw;
        OnLogWriteError(QString::fromStdString(e.what()));
    }
}

void TVeskIBusComm::ProcessEventsUntilMore()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TVeskIBusComm::SendFrame(std::size_t length)
{
    sent_ = false;
    port_->WriteData(frameBuf_.data(), static_cast<uint16_t>(length));
    if (LogEnabled)
        ibus::TraceBlock(DebugLog, ibus::kTraceSend, frameBuf_.data(), length);
}

void TVeskIBusComm::PortHungUp()
{
    // The device went away (adapter unplugged, the other side of a pty closed) or failed:
    // no reply and no sent report will come, so the waits must not go on for ever.
    portLost_ = true;
}

WaitResult TVeskIBusComm::WaitReply(int timeoutMs)
{
    aborted_ = false;
    receiver_.Reset();
    while (!sent_ && !aborted_ && !portLost_)
        ProcessEventsUntilMore();
    timedOut_ = false;
    waitStarted_ = clock_->Now();
    timeout_ = clock_->After(timeoutMs, [this] { timedOut_ = true; });
    while (!timedOut_ && !aborted_ && !portLost_ && receiver_.State() != 1)
        ProcessEventsUntilMore();
    if (portLost_ && receiver_.State() != 1)
        aborted_ = true;

    WaitResult result;
    if (aborted_)
        result = wrAborted;
    else if (timedOut_)
        result = BroadCast ? wrPositive : wrTimeout;
    else if (receiver_.ReplyByte() == ibus::kReply55)
        result = wrReply55;
    else if (receiver_.ReplyByte() == ibus::kReplyPositive)
        result = wrPositive;
    else if (receiver_.ReplyByte() == ibus::kReplyNegative)
        result = wrNegative;
    else
        result = wrFrame;
    timeout_.reset();
    return result;
}

void TVeskIBusComm::ReceiveData(const uint8_t* buffer, uint16_t length)
{
    std::size_t left = length;
    while (left > 0 && receiver_.State() != 1) {
        if (!receiver_.Feed(buffer, left))
            return;
        TraceReply();
        if (!receiver_.frameMode)
            return;
        // A late reply to an earlier request is dropped and the rest of the chunk read on.
        const bool negative = receiver_.ReplyByte() == ibus::kReplyNegative;
        if (!lateReplies_.TakeLate(negative ? nullptr : &receiver_.expectedHeader, clock_->Now()))
            return;
        buffer += receiver_.Consumed();
        left -= receiver_.Consumed();
        receiver_.Reset();
    }
}

void TVeskIBusComm::TraceReply()
{
    if (!LogEnabled)
        return;
    const uint8_t reply = receiver_.ReplyByte();
    if (reply != 0)
        ibus::TraceBlock(DebugLog, ibus::kTraceReceive, &reply, 1);
    else
        ibus::TraceBlock(DebugLog, ibus::kTraceReceive, receiver_.FrameBytes().data(), ibus::kFrameSize);
}

void TVeskIBusComm::PutAddress(ibus::Payload& payload, std::size_t at, int32_t address)
{
    const std::vector<uint8_t> bcd = ibus::BcdPack(static_cast<uint32_t>(address), 8);
    for (std::size_t i = 0; i < 4; ++i)
        payload[at + i] = bcd[3 - i];
}

bool TVeskIBusComm::ConnectEcr(int32_t address, bool strict)
{
    // A speed index set past the table after the port opened names no speed to run at.
    if (baudIndex_ >= static_cast<int>(BaudTable.size())) {
        aborted_ = true;
        return false;
    }
    const bool connected = BroadCast ? BroadcastHandshake() : Handshake(address, strict);
    return connected && QueryEcrInfo();
}

bool TVeskIBusComm::Handshake(int32_t address, bool strict)
{
    payload_.fill(0);
    payload_[0] = kGroupCommand;
    payload_[1] = kConnectParam;
    PutAddress(payload_, 3, address);
    putDateTime(payload_);
    payload_[13] = static_cast<uint8_t>(baudIndex_);
    payload_[14] = 1;
    ibus::StoreChecksum(payload_);

    for (int n = 0;; ++n) {
        const ibus::Frame frame = ibus::PackFrame(payload_);
        std::copy(frame.begin(), frame.end(), frameBuf_.begin());
        if (n > 0 && LogEnabled)
            ibus::TraceRetry(DebugLog, n);
        port_->setBaudRate(n == 0 ? BaudTable[0] : BaudTable[static_cast<std::size_t>(n - 1) % BaudTable.size()]);
        port_->setParity(Parity);
        SendFrame(ibus::kFrameSize);
        receiver_.frameMode = false;
        const WaitResult r = WaitReply(kHandshakeTimeoutMs);
        if (r == wrPositive) {
            port_->setBaudRate(speedAt(baudIndex_));
            return true;
        }
        if (strict && r == wrReply55)
            aborted_ = true;
        if (aborted_ || n == kHandshakeAttempts - 1) {
            aborted_ = true;
            return false;
        }
    }
}

bool TVeskIBusComm::BroadcastHandshake()
{
    payload_.fill(0);
    payload_[0] = kGroupCommand;
    payload_[1] = kConnectParam;
    PutAddress(payload_, 3, 0);
    putDateTime(payload_);
    payload_[13] = static_cast<uint8_t>(baudIndex_);
    payload_[14] = BroadCastScaleType == TBroadCastScaleType::tbs1024 ? 0x5A : 0xA5;
    for (std::size_t i = 0; i < BroadcastAddresses.size(); ++i)
        PutAddress(payload_, 35 + 4 * i, BroadcastAddresses[i]);
    ibus::StoreChecksum(payload_);
    port_->setBaudRate(speedAt(baudIndex_));
    const ibus::Frame frame = ibus::PackFrame(payload_);
    std::copy(frame.begin(), frame.end(), frameBuf_.begin());
    SendFrame(ibus::kFrameSize);
    receiver_.frameMode = false;
    const WaitResult r = WaitReply(BroadCastInterval);
    if (r < 0) {
        aborted_ = true;
        return false;
    }
    return true;
}

bool TVeskIBusComm::QueryEcrInfo()
{
    DataBlock.fill(0);
    DataBlock[2] = static_cast<uint8_t>(kInfoParam);
    return ExchangeCommand(kGroupCommand, kInfoParam);
}

bool TVeskIBusComm::ExchangeCommand(uint8_t command, uint16_t param)
{
    request_.fill(0);
    request_[0] = command;
    request_[1] = static_cast<uint8_t>(param & 0xFF);
    request_[2] = static_cast<uint8_t>(param >> 8);
    std::copy(DataBlock.begin(), DataBlock.end(), request_.begin() + 3);
    ibus::StoreChecksum(request_);

    bool ok = false;
    int unanswered = 0;  // attempts whose reply has not come
    for (int n = 0;; ++n) {
        checksumError_ = false;
        if (n > 0 && LogEnabled)
            ibus::TraceRetry(DebugLog, n);
        payload_ = request_;
        const ibus::Frame frame = ibus::PackFrame(payload_);
        std::copy(frame.begin(), frame.end(), frameBuf_.begin());
        std::copy(frameBuf_.begin() + 1, frameBuf_.begin() + 4, receiver_.expectedHeader.begin());
        frameBuf_[ibus::kFrameSize] = ibus::kFrameTrailer;
        SendFrame(ibus::kFrameSize + 1);
        receiver_.frameMode = true;
        ++unanswered;
        const WaitResult r = WaitReply(RetryInterval);
        if (r == wrFrame || r == wrNegative)
            --unanswered;
        if (r == wrFrame) {
            const ibus::Unpacked unpacked = ibus::UnpackFrame(receiver_.FrameBytes());
            payload_ = unpacked.payload;
            if (!unpacked.checksumOk)
                checksumError_ = true;
            if (!checksumError_) {
                ok = true;
                break;
            }
        }
        if (r == wrNegative) {
            aborted_ = true;
            break;
        }
        if (aborted_ || n == retryCount_) {
            aborted_ = true;
            break;
        }
    }
    // Replies to the attempts left unanswered may still come, at the latest about one
    // time-out after the wait that missed them.
    const auto until = waitStarted_ + 2 * std::chrono::milliseconds(std::max(RetryInterval, 0));
    for (int i = 0; i < unanswered; ++i)
        lateReplies_.Expect(receiver_.expectedHeader, until);
    std::copy(payload_.begin() + 3, payload_.begin() + 3 + ibus::kDataBlockSize, DataBlock.begin());
    return ok;
}

bool TVeskIBusComm::DisconnectEcr(int32_t address, uint8_t endCode)
{
    ibus::Payload disconnect{};
    disconnect[0] = kGroupCommand;
    disconnect[1] = kDisconnectParam;
    PutAddress(disconnect, 3, address);
    disconnect[7] = endCode;
    ibus::StoreChecksum(disconnect);
    for (int n = 0; n < kDisconnectAttempts; ++n) {
        payload_ = disconnect;
        const ibus::Frame frame = ibus::PackFrame(payload_);
        std::copy(frame.begin(), frame.end(), frameBuf_.begin());
        frameBuf_[ibus::kFrameSize] = ibus::kFrameTrailer;
        SendFrame(ibus::kFrameSize + 1);
        receiver_.frameMode = false;
        if (WaitReply(kDisconnectTimeoutMs) == wrPositive)
            break;
    }
    return true;
}

void TVeskIBusComm::AbortExchange()
{
    aborted_ = true;
}
