#pragma once
// Upper-case descriptions of SCSI additional sense codes, from the standard's table.

#include <cstdint>
#include <string>

// "LOGICAL UNIT IS IN PROCESS OF BECOMING READY" for 04h/01h; a pair without a text
// gives the two codes in decimal separated by ",".
std::string AdditionalSenseText(uint8_t asc, uint8_t ascq);
