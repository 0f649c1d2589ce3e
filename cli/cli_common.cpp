#include "cli/cli_common.h"

#include "core/settings.h"
#include "reports/register_test.h"
#include "link/ibus_session.h"

#include <cstdio>

namespace cli {

void printError(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Parses the options a command allows; false with a message on a bad one.
bool parseOptions(const QStringList& args, int from, bool reportOptions, Options* out, QString* error)
{
    for (int i = from; i < args.size(); ++i) {
        const QString& a = args[i];
        QString* target = nullptr;
        if (a == QLatin1String("--port"))
            target = &out->port;
        else if (a == QLatin1String("--baud"))
            target = &out->baud;
        else if (reportOptions && a == QLatin1String("--z"))
            target = &out->z;
        else if (reportOptions && a == QLatin1String("--dates"))
            target = &out->dates;
        else if (reportOptions && a == QLatin1String("--name")) {
            target = &out->name;
            out->hasName = true;
        } else if (reportOptions && a == QLatin1String("--to-end")) {
            out->toEnd = true;
            continue;
        } else if (reportOptions && a == QLatin1String("--readonly")) {
            out->readOnly = true;
            continue;
        } else if (reportOptions && a == QLatin1String("--yes")) {
            out->yes = true;
            continue;
        }
        if (!target) {
            *error = QStringLiteral("unknown option: %1").arg(a);
            return false;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("option %1 needs a value").arg(a);
            return false;
        }
        *target = args[++i];
    }
    return true;
}

namespace {

int baudIndexOf(const QString& text)
{
    bool ok = false;
    const uint32_t baud = text.toUInt(&ok);
    for (std::size_t i = 0; ok && i < BaudTable.size(); ++i)
        if (BaudTable[i] == baud)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

// The port and speed of a command: the settings, overridden by --port and --baud.
bool resolveLink(const Options& options, QString* port, int* baudIndex)
{
    QStringList warnings;
    ReadSystemConfig(&warnings);
    for (const QString& warning : warnings)
        printError(QStringLiteral("warning: ") + warning);
    *baudIndex = Settings().CommBaudRate;
    if (!options.baud.isEmpty()) {
        *baudIndex = baudIndexOf(options.baud);
        if (*baudIndex < 0) {
            printError(QStringLiteral("unsupported speed: %1 (9600, 19200, 38400, 57600 or 115200)")
                           .arg(options.baud));
            return false;
        }
    }
    *port = options.port.isEmpty() ? PortNameOf(Settings().CommPort) : options.port;
    return true;
}

void prepareBus(TVeskIBusComm& bus)
{
    bus.LogEnabled = true;
    bus.OnShowError = printError;
    bus.OnLogWriteError = [](const QString& text) { printError(QStringLiteral("warning: ") + text); };
}

}  // namespace cli
