#pragma once
// The serial trace: blocks of bytes in hexadecimal, 16 to a line, under a header line.

#include <QStringList>
#include <cstddef>
#include <cstdint>

namespace ibus {

inline constexpr char kTraceSend[] = ">>>>>>Send data<<<<<<<<";
inline constexpr char kTraceReceive[] = ">>>>>>Receive data<<<<<<<<";

// Appends the header, the bytes ("%2.2X " each, 16 per line) and an empty line.
void TraceBlock(QStringList& log, const char* header, const uint8_t* bytes, std::size_t count);
// Appends an empty line and "Retry:" followed by the attempt number.
void TraceRetry(QStringList& log, int attempt);
// The trace as file content: every line followed by CR LF.
QByteArray TraceFileContent(const QStringList& log);

}  // namespace ibus
