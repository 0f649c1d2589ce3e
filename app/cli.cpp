#include "app/cli.h"

#include "app/console_progress.h"
#include "app/register_test.h"
#include "app/settings.h"
#include "app/code_page.h"
#include "app/ini_file.h"
#include "burn/drive_commands.h"
#include "burn/iso_image.h"
#include "burn/iso_image_file.h"
#include "burn/iso_tables.h"
#include "burn/scsi_transport.h"
#include "link/ibus_session.h"
#include "reports/catalogue.h"
#include "reports/report_download.h"
#include "reports/report_grid_model.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

void printError(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// The options of the register commands.
struct Options {
    QString port;
    QString baud;
    QString z;
    QString dates;
    QString name;
    bool hasName = false;
    bool toEnd = false;
    bool readOnly = false;
    bool yes = false;
};

// Parses the options a command allows; false with a message on a bad one.
bool parseOptions(const QStringList& args, int from, bool reportOptions, Options* out,
                  QString* error)
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

int baudIndexOf(const QString& text)
{
    bool ok = false;
    const uint32_t baud = text.toUInt(&ok);
    for (std::size_t i = 0; ok && i < BaudTable.size(); ++i)
        if (BaudTable[i] == baud)
            return static_cast<int>(i);
    return -1;
}

// The port and speed of a command: the settings, overridden by --port and --baud.
bool resolveLink(const Options& options, QString* port, int* baudIndex)
{
    ReadSystemConfig();
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
}

int runTest(const QStringList& args)
{
    Options options;
    QString error;
    if (!parseOptions(args, 1, false, &options, &error)) {
        printError(error);
        return kExitUsage;
    }
    QString port;
    int baudIndex = 0;
    if (!resolveLink(options, &port, &baudIndex))
        return kExitUsage;
    TVeskIBusComm bus;
    prepareBus(bus);
    TConsoleProgress progress;
    return TestCommand(bus, progress, port, baudIndex) ? kExitOk : kExitFailed;
}

// Splits "FROM-TO" into its two texts as typed; each at most maxLength characters.
bool splitRange(const QString& text, int maxLength, QString* from, QString* to)
{
    const qsizetype dash = text.indexOf('-');
    if (dash < 0)
        return false;
    *from = text.left(dash);
    *to = text.mid(dash + 1);
    return from->size() <= maxLength && to->size() <= maxLength;
}

int runDownload(const QStringList& args, TReportKind kind)
{
    Options options;
    QString error;
    if (!parseOptions(args, 1, true, &options, &error)) {
        printError(error);
        return kExitUsage;
    }
    if (options.z.isEmpty() == options.dates.isEmpty()) {
        printError(QStringLiteral("give either --z FROM-TO or --dates DDMMYY-DDMMYY"));
        return kExitUsage;
    }
    const QString name = TrimReportName(options.name);
    if (name.isEmpty()) {
        printError(QStringLiteral("File Name empty: give the report's base name with --name"));
        return kExitUsage;
    }
    const QString problem = ReportNameProblem(name);
    if (!problem.isEmpty()) {
        printError(problem);
        return kExitUsage;
    }
    TReportRange range;
    QString from, to;
    if (!options.z.isEmpty()) {
        if (!splitRange(options.z, 4, &from, &to)) {
            printError(QStringLiteral("--z takes FROM-TO, each at most 4 digits"));
            return kExitUsage;
        }
        range.RangeType = 0;
        range.ZCountFrom = RangeValue(from);
        range.ZCountTo = RangeValue(to);
        range.ZCountEnd = options.toEnd;
    } else {
        if (!splitRange(options.dates, 6, &from, &to)) {
            printError(QStringLiteral("--dates takes DDMMYY-DDMMYY"));
            return kExitUsage;
        }
        range.RangeType = 1;
        range.DateFrom = RangeValue(from);
        range.DateTo = RangeValue(to);
        range.DateEnd = options.toEnd;
    }
    range.ReportFileName = BuildReportFileName(name, from, to);

    QString port;
    int baudIndex = 0;
    if (!resolveLink(options, &port, &baudIndex))
        return kExitUsage;
    const QString fullPath = Settings().ReportDir + range.ReportFileName;

    bool startFailed = false;
    Tdm dm([&startFailed](const QString& message) {
        printError(message);
        startFailed = true;
    });
    if (!dm.IsOpen())
        return kExitFileError;
    if (QFile::exists(fullPath) && !options.yes) {
        printError(QStringLiteral("%1 exists; give --yes to replace it").arg(fullPath));
        return kExitFileError;
    }

    TVeskIBusComm bus;
    prepareBus(bus);
    SetDownloadRetries(bus, kind);
    TConsoleProgress progress;
    ReportGridModel grid;
    TDownloadJob job;
    job.bus = &bus;
    job.progress = &progress;
    job.grid = &grid;
    job.catalogue = &dm.fmRpt;
    job.kind = kind;
    job.range = range;
    job.commName = port;
    job.baudIndex = baudIndex;
    const bool detail = kind == TReportKind::Detail;
    job.requestCode = options.readOnly ? (detail ? cfg::kDetailReadOnlyCode : cfg::kSummaryReadOnlyCode)
                                       : (detail ? cfg::kDetailRequestCode : cfg::kSummaryRequestCode);
    job.reportDir = Settings().ReportDir;
    switch (RunReportDownload(job)) {
    case TDownloadOutcome::Stored:
        std::fprintf(stdout, "%s\n", QFile::encodeName(fullPath).constData());
        return startFailed ? kExitFileError : kExitOk;
    case TDownloadOutcome::FileFailed:
        return kExitFileError;
    default:
        return kExitFailed;
    }
}

// The burner's transport as the settings configure it ([Burn] VirtualDrive adds the
// emulated recorder); messages go to stdout (information) and stderr (errors).
bool prepareTransport(TScsiTransport& transport)
{
    QString image = QString::fromLocal8Bit(
        ini::readString(Settings().SettingsFile, "Burn", "VirtualDrive", QByteArray()));
    if (!image.isEmpty() && !image.startsWith('/'))
        image = Settings().ProgramDir + image;
    transport.virtualDrivePath = image.toStdString();
    transport.OnMessage = [](int kind, const std::string& text) {
        std::fprintf(kind == bmInformation ? stdout : stderr, "%s\n", text.c_str());
    };
    return transport.InitASPILayer(true);
}

int runDevices(const QStringList& args)
{
    if (args.size() > 1) {
        printError(QStringLiteral("devices takes no options"));
        return kExitUsage;
    }
    TScsiTransport& transport = ScsiTransport();
    if (!prepareTransport(transport)) {
        printError(QStringLiteral("Error initializing ASPI Layer: no CD/DVD drive and no transport library found"));
        return kExitFailed;
    }
    for (const std::string& line : transport.DeviceList())
        std::fprintf(stdout, "%s\n", line.c_str());
    return transport.DeviceList().empty() ? kExitFailed : kExitOk;
}

int runDiscInfo(const QStringList& args)
{
    QString drive;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--drive") && i + 1 < args.size()) {
            drive = args[++i];
        } else {
            printError(QStringLiteral("usage: discinfo [--drive N|LINE]"));
            return kExitUsage;
        }
    }
    TScsiTransport& transport = ScsiTransport();
    transport.DoDebug = false;
    if (!prepareTransport(transport) || transport.DeviceList().empty()) {
        printError(QStringLiteral("no CD/DVD drive found"));
        return kExitFailed;
    }
    std::string line;
    bool isIndex = false;
    const int index = drive.isEmpty() ? 0 : drive.toInt(&isIndex);
    if (drive.isEmpty() || isIndex) {
        if (index < 0 || index >= static_cast<int>(transport.DeviceList().size())) {
            printError(QStringLiteral("no drive number %1").arg(index));
            return kExitUsage;
        }
        line = transport.DeviceList()[static_cast<std::size_t>(index)];
    } else {
        line = drive.toStdString();
    }
    TDriveCommands commands(transport);
    transport.OnReadCapabilities = [&commands] { commands.ReadCapabilities(); };
    transport.OnSelected = [&commands] { commands.ProbeWriteModes(); };
    if (!transport.SelectDevice(line))
        return kExitFailed;
    commands.DiscType = commands.GetDiscType();
    const uint32_t free = commands.FreeDiscBlocks();
    const bool nwa = commands.GetNextWritableAddress();
    std::fprintf(stdout, "drive: %s\n", line.c_str());
    std::fprintf(stdout, "disc type: %s\n", DiscTypeName(commands.DiscType));
    std::fprintf(stdout, "free blocks: %u\n", free);
    if (nwa)
        std::fprintf(stdout, "next writable address: %u\n", commands.SessionStart);
    else
        std::fprintf(stdout, "next writable address: none (%s)\n", transport.LastError().c_str());
    std::fprintf(stdout, "last session: %d\n", commands.LastSessionNumber());
    std::fprintf(stdout, "maximum write speed: %dx\n", commands.DeviceMaxWriteSpeed);
    std::fprintf(stdout, "maximum read speed: %dx\n", commands.DeviceMaxReadSpeed);
    return kExitOk;
}

int runMkIso(const QStringList& args)
{
    QString output, volumeId;
    bool joliet = true, keepPaths = false;
    QStringList paths;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--output") && i + 1 < args.size())
            output = args[++i];
        else if (a == QLatin1String("--volume-id") && i + 1 < args.size())
            volumeId = args[++i];
        else if (a == QLatin1String("--no-joliet"))
            joliet = false;
        else if (a == QLatin1String("--keep-paths"))
            keepPaths = true;
        else if (a.startsWith(QLatin1String("--"))) {
            printError(QStringLiteral("unknown option: %1").arg(a));
            return kExitUsage;
        } else
            paths << a;
    }
    if (output.isEmpty() || paths.isEmpty()) {
        printError(QStringLiteral("usage: mkiso --output IMG [--volume-id TEXT] [--no-joliet] [--keep-paths] PATH..."));
        return kExitUsage;
    }
    // The command line is not bound to the burn window's table sizes.
    TIsoTables tables;
    tables.ClearFileSystem(4000000, 1000000);
    int status = kExitOk;
    tables.OnMessage = [&status](int kind, const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
        if (kind == bmTableLimit || kind == bmFileSystem)
            status = kExitFailed;
    };
    for (const QString& path : paths) {
        std::string error;
        const std::string source = QFileInfo(path).absoluteFilePath().toStdString();
        if (!InsertTree(tables, source, "\\", keepPaths, &error)) {
            printError(QString::fromStdString(error));
            return kExitFileError;
        }
    }
    TIsoImage image(tables);
    image.JolietFileSystem = joliet;
    image.Ids.IdVolume = volumeId.toStdString();
    image.Ids.DateCreation = image.Ids.DateModification = QDateTime::currentSecsSinceEpoch();
    image.PrepareImage();
    std::string error;
    if (!WriteImageFile(image, tables, output.toStdString(), &error)) {
        printError(QString::fromStdString(error));
        return kExitFileError;
    }
    std::fprintf(stdout, "%s: %lld sectors, %d files, %d directories\n", output.toLocal8Bit().constData(),
                 static_cast<long long>(image.ImageSectors()), tables.FileCount() - tables.DirectoryCount(),
                 tables.DirectoryCount());
    return status;
}

int runCatalogue(const QStringList& args)
{
    if (args.size() > 1) {
        printError(QStringLiteral("catalogue takes no options"));
        return kExitUsage;
    }
    int status = kExitOk;
    Tdm dm([&status](const QString& message) {
        printError(message);
        status = kExitFileError;
    });
    for (const TCatalogueEntry& e : dm.fmRpt.Entries()) {
        const QString when = e.cDateTime.isValid() ? FormatCatalogueDateTime(e.cDateTime) : QString();
        std::fprintf(stdout, "%s\t%s\t%s\t%s\n", e.sType.constData(), e.Caption.constData(),
                     when.toLocal8Bit().constData(), e.FileName.constData());
    }
    return status;
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
        "\n"
        "NAME is COM0 to COM4 (resolved through SYSTEM.CFG [Ports]) or a device path;\n"
        "RATE is 9600, 19200, 38400, 57600 or 115200.\n"
        "Exit status: 0 success, 1 the register or the link failed or refused, 2 usage error,\n"
        "3 file error.\n");
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
    if (command == QLatin1String("detail"))
        return runDownload(arguments, TReportKind::Detail);
    if (command == QLatin1String("summary"))
        return runDownload(arguments, TReportKind::Summary);
    if (command == QLatin1String("catalogue"))
        return runCatalogue(arguments);
    if (command == QLatin1String("devices"))
        return runDevices(arguments);
    if (command == QLatin1String("discinfo"))
        return runDiscInfo(arguments);
    if (command == QLatin1String("mkiso"))
        return runMkIso(arguments);
    printError(QStringLiteral("unknown command: %1 (see vobrelfm --help)").arg(command));
    return kExitUsage;
}
