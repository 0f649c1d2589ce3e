#include "cli/cli.h"

#include "cli/cli_common.h"
#include "cli/usage.h"
#include "core/settings.h"

#include <cstdio>

QString UsageText()
{
    return usage::TerminalText();
}

bool IsHelp(const QStringList& arguments)
{
    const QString command = arguments.value(0);
    return command == QLatin1String("--help") || command == QLatin1String("-h") ||
           command == QLatin1String("help");
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
    if (IsHelp(arguments)) {
        const QString text = UsageText() + QStringLiteral("Program folder in use: %1\n").arg(Settings().ProgramDir);
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    const QString command = arguments.value(0);
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
    if (command == QLatin1String("burn"))
        return cli::runBurn(arguments);
    if (command == QLatin1String("check"))
        return cli::runCheck(arguments);
    if (command == QLatin1String("audit"))
        return cli::runAudit(arguments);
    cli::printError(QStringLiteral("unknown command: %1 (see vobrelfm --help)").arg(command));
    return kExitUsage;
}
