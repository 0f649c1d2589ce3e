#pragma once
// What tells one disc from another: the volume creation time of its first session (the 16
// digits and the time-zone offset of the primary volume descriptor), which later sessions
// do not change. Read through the session import's disc reader; the descriptor is outside
// bytes and only its date field is taken.

#include <string>

class IDiscReader;

// "YYYYMMDDHHMMSScc" and, when not zero, "+N" / "-N" (the offset in 15-minute units). False
// when the disc has no session or its first session holds no primary volume descriptor.
bool ReadDiscIdentity(IDiscReader& disc, std::string* identity);
