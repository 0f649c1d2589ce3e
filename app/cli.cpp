#include "app/cli.h"

#include "app/console_progress.h"
#include "app/register_test.h"
#include "app/settings.h"
#include "link/ibus_session.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void printError(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Parses "--name VALUE" options into a map; returns false with a message on a bad option.
struct Options {
    QString port;
    QString baud;
};

bool parseLinkOptions(const QStringList& args, int from, Options* out, QString* error)
{
    for (int i = from; i < args.size(); ++i) {
        const QString& a = args[i];
        QString* target = nullptr;
        if (a == QLatin1String("--port"))
            target = &out->port;
        else if (a == QLatin1String("--baud"))
            target = &out->baud;
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

int baudIndexOf(const QString& text)
{
    bool ok = false;
    const uint32_t baud = text.toUInt(&ok);
    for (std::size_t i = 0; ok && i < BaudTable.size(); ++i)
        if (BaudTable[i] == baud)
            return static_cast<int>(i);
    return -1;
}

int runTest(const QStringList& args)
{
    Options options;
    QString error;
    if (!parseLinkOptions(args, 1, &options, &error)) {
        printError(error);
        return kExitUsage;
    }
    ReadSystemConfig();
    int baudIndex = Settings().CommBaudRate;
    if (!options.baud.isEmpty()) {
        baudIndex = baudIndexOf(options.baud);
        if (baudIndex < 0) {
            printError(QStringLiteral("unsupported speed: %1 (9600, 19200, 38400, 57600 or 115200)")
                           .arg(options.baud));
            return kExitUsage;
        }
    }
    const QString port = options.port.isEmpty() ? PortNameOf(Settings().CommPort) : options.port;

    TVeskIBusComm bus;
    bus.LogEnabled = true;
    bus.OnShowError = printError;
    TConsoleProgress progress;
    return TestCommand(bus, progress, port, baudIndex) ? kExitOk : kExitFailed;
}

}  // namespace

QString UsageText()
{
    return QStringLiteral(
        "Usage: vobrelfm [--home DIR] [--demo] [COMMAND [OPTIONS]]\n"
        "\n"
        "Without a command the main window opens.\n"
        "\n"
        "Global options:\n"
        "  --home DIR      use DIR as the program directory (SYSTEM.CFG, DEBUG.LOG, data/, Report/)\n"
        "  --demo          connect the window to a simulated register on a pseudo-terminal\n"
        "  --help          show this text\n"
        "\n"
        "Commands:\n"
        "  test [--port NAME] [--baud 9600|19200|38400|57600|115200]\n"
        "                  connect to the register and disconnect; exit status 0 when it answered\n"
        "\n"
        "NAME is COM0 to COM4 (resolved through SYSTEM.CFG [Ports]) or a device path.\n");
}

bool IsCommand(const QStringList& arguments)
{
    return !arguments.isEmpty();
}

int RunCommand(const QStringList& arguments)
{
    const QString command = arguments.value(0);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    if (command == QLatin1String("test"))
        return runTest(arguments);
    printError(QStringLiteral("unknown command: %1 (see vobrelfm --help)").arg(command));
    return kExitUsage;
}
