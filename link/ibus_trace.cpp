#include "link/ibus_trace.h"

namespace ibus {

void TraceBlock(QStringList& log, const char* header, const uint8_t* bytes, std::size_t count)
{
    static const char kHex[] = "0123456789ABCDEF";
    log.append(QString::fromLatin1(header));
    QString line;
    for (std::size_t i = 0; i < count; ++i) {
        line += QLatin1Char(kHex[bytes[i] >> 4]);
        line += QLatin1Char(kHex[bytes[i] & 0x0F]);
        line += QLatin1Char(' ');
        if (i % 16 == 15) {
            log.append(line);
            line.clear();
        }
    }
    if (!line.isEmpty())
        log.append(line);
    log.append(QString());
}

void TraceRetry(QStringList& log, int attempt)
{
    log.append(QString());
    log.append(QStringLiteral("Retry:%1").arg(attempt));
}

QByteArray TraceFileContent(const QStringList& log)
{
    QByteArray out;
    for (const QString& line : log)
        out += line.toLatin1() + "\r\n";
    return out;
}

}  // namespace ibus
