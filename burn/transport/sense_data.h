#pragma once
// The one reader of SCSI sense data: fixed format (response codes 70h/71h) and descriptor
// format (72h/73h) give the same sense key, additional sense code and qualifier, so every
// retry and wait decision reads the drive's answer the same way whatever format it chose.
// Bounds-checked: only the bytes the drive returned are read.

#include <cstddef>
#include <cstdint>
#include <span>

struct TSenseData {
    uint8_t responseCode = 0;  // byte 0 without the valid bit: 70h-73h, 0 when none
    uint8_t key = 0;           // sense key (low 4 bits)
    uint8_t asc = 0;           // additional sense code
    uint8_t ascq = 0;          // its qualifier
    bool filemark = false, endOfMedia = false, illegalLength = false;
    bool hasAdditional = false;  // the codes are there to be described

    bool valid() const { return responseCode >= 0x70 && responseCode <= 0x73; }
    bool descriptorFormat() const { return responseCode == 0x72 || responseCode == 0x73; }
};

// Decodes up to sense.size() bytes (the length the drive wrote, or the whole sense area).
TSenseData DecodeSense(std::span<const uint8_t> sense);
