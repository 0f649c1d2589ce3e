#include "cli/cli.h"

#include "cli/cli_common.h"

#include <cstdio>

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
        "  test [--port NAME] [--baud RATE]\n"
        "                  connect to the register and disconnect; exit status 0 when it answered\n"
        "  detail|summary (--z FROM-TO | --dates DDMMYY-DDMMYY) [--to-end] --name BASE\n"
        "                 [--port NAME] [--baud RATE] [--readonly] [--yes]\n"
        "                  download a fiscal-memory report into Report/BASE_FROM_TO.txt and\n"
        "                  catalogue it; --yes replaces an existing report file\n"
        "  catalogue       list the report catalogue, one entry a line\n"
        "  devices         list the CD/DVD drives (with [Burn] VirtualDrive=IMAGE, the emulated one)\n"
        "  mkiso --output IMG [--volume-id TEXT] [--no-joliet] [--keep-paths] PATH...\n"
        "                  write the files (a directory: its whole tree) as a first session image\n"
        "  discinfo [--drive N|LINE]\n"
        "                  disc type, free blocks, next writable address, last session, speeds\n"
        "  print REPORT [--pdf OUT.pdf | --printer NAME] [--pages N] [--font-size PT]\n"
        "                  print a report file as the report window does, into a PDF file or on a\n"
        "                  printer (default: the system's default printer); --pages and --font-size\n"
        "                  default to SYSTEM.CFG [Print] Pages and Fontsize\n"
        "\n"
        "NAME is COM0 to COM4 (resolved through SYSTEM.CFG [Ports]) or a device path;\n"
        "RATE is 9600, 19200, 38400, 57600 or 115200.\n"
        "Exit status: 0 success, 1 the register or the link failed or refused, 2 usage error,\n"
        "3 file or printer error (a report or its catalogue entry not written). A DEBUG.LOG\n"
        "that cannot be written is a warning.\n");
}

bool IsCommand(const QStringList& arguments)
{
    return !arguments.isEmpty();
}

bool CommandPaints(const QStringList& arguments)
{
    return arguments.value(0) == QLatin1String("print");
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
        return cli::runTest(arguments);
    if (command == QLatin1String("detail"))
        return cli::runDownload(arguments, false);
    if (command == QLatin1String("summary"))
        return cli::runDownload(arguments, true);
    if (command == QLatin1String("catalogue"))
        return cli::runCatalogue(arguments);
    if (command == QLatin1String("devices"))
        return cli::runDevices(arguments);
    if (command == QLatin1String("discinfo"))
        return cli::runDiscInfo(arguments);
    if (command == QLatin1String("mkiso"))
        return cli::runMkIso(arguments);
    if (command == QLatin1String("print"))
        return cli::runPrint(arguments);
    cli::printError(QStringLiteral("unknown command: %1 (see vobrelfm --help)").arg(command));
    return kExitUsage;
}
