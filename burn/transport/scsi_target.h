#pragma once
// A drive that answers commands without the pass-through: the built-in layer hands the
// request blocks of its address to it (the emulated recorder is one). It is created by
// the layer above the transport and handed in through TScsiTransport's target opener.

#include <array>
#include <cstdint>

class IScsiTarget {
public:
    virtual ~IScsiTarget() = default;

    // A status that no drive sends: the command did not reach the drive (the built-in
    // layer reports it as a transport error).
    static constexpr uint8_t kTransportFailure = 0xFF;

    // Runs one command. Returns the SCSI status (0 good, 2 check condition, 8 busy, or
    // kTransportFailure); sense (32 bytes) holds the fixed-format sense data of a check
    // condition.
    virtual uint8_t Execute(const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t dataLength,
                            uint8_t* sense) = 0;

    // The 36 bytes of standard INQUIRY data.
    virtual std::array<uint8_t, 36> InquiryData() const = 0;
};
