#pragma once
// Line-setting types shared by the serial port and the protocol component.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

enum class TParity : uint8_t { None, Odd, Even, Mark, Space };
enum class TByteSize : uint8_t { _5, _6, _7, _8 };
enum class TStopBits : uint8_t { _1, _1_5, _2 };
enum class TDtrControl : uint8_t { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : uint8_t { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

// A failure of the serial port; what() is the message text.
// hint() optionally adds a line for the operator (for example which permission is missing).
class ECommsError : public std::runtime_error {
public:
    explicit ECommsError(const std::string& message, std::string hint = {})
        : std::runtime_error(message), hint_(std::move(hint)) {}
    const std::string& hint() const { return hint_; }

private:
    std::string hint_;
};
