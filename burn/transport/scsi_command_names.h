#pragma once
// Names of the SCSI/MMC operation codes for log lines: 22 characters each.

#include <cstdint>
#include <string>

// The name padded with blanks to 22 characters, or the code as two hex digits.
std::string ScsiCommandName(uint8_t operationCode);
