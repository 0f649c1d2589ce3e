// The burner commands: devices, disc information, ISO image output.

#include "cli/cli.h"
#include "cli/cli_common.h"
#include "core/ini_file.h"
#include "core/settings.h"
#include "burn/drive/drive_abilities.h"
#include "burn/drive/drive_commands.h"
#include "burn/emulated/emulated_target.h"
#include "burn/iso/iso_image.h"
#include "burn/iso/iso_image_file.h"
#include "burn/iso/iso_tables.h"
#include "burn/iso/local_tree.h"
#include "burn/transport/scsi_transport.h"

#include <QDateTime>
#include <QFileInfo>
#include <cstdio>

namespace cli {

namespace {

TMessagePoster stderrLines()
{
    return [](int, const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
}

}  // namespace

bool configureTransport(TScsiTransport& transport)
{
    QString image = QString::fromLocal8Bit(
        ini::readString(Settings().SettingsFile, "Burn", "VirtualDrive", QByteArray()));
    if (!image.isEmpty() && !image.startsWith('/'))
        image = Settings().ProgramDir + image;
    TScsiTransportConfig config = transport.Config();
    config.virtualDrivePath = image.toStdString();
    config.virtualDriveSpeedX = static_cast<int>(
        ini::readInteger(Settings().SettingsFile, "Burn", "VirtualDriveSpeed", 0));
    config.openVirtualTarget = OpenEmulatedRecorder;
    return transport.Configure(std::move(config));
}

bool resolveDrive(const QString& drive, const std::vector<std::string>& devices, std::string* line)
{
    bool isIndex = false;
    const int index = drive.isEmpty() ? 0 : drive.toInt(&isIndex);
    if (!drive.isEmpty() && !isIndex) {
        *line = drive.toStdString();
        return true;
    }
    if (index < 0 || index >= static_cast<int>(devices.size())) {
        printError(QStringLiteral("no drive number %1").arg(index));
        return false;
    }
    *line = devices[static_cast<std::size_t>(index)];
    return true;
}

bool prepareTransport(TScsiTransport& transport)
{
    configureTransport(transport);
    // The transport's lines (the layer loaded, a drive's errors) are diagnostics: stdout
    // carries only what the command lists.
    transport.Attach(&transport, {stderrLines(), nullptr, nullptr});
    return transport.InitASPILayer(true);
}

int selectDrive(const QString& drive, TScsiTransport& transport, TDriveCommands& commands, std::string* line)
{
    transport.DoDebug = false;
    if (!prepareTransport(transport) || transport.DeviceList().empty()) {
        printError(QStringLiteral("no CD/DVD drive found"));
        return kExitFailed;
    }
    if (!resolveDrive(drive, transport.DeviceList(), line))
        return kExitUsage;
    // The drive's facts are read while it is selected, by the commands that will use them.
    transport.Attach(&commands, {stderrLines(), [&commands] { commands.ReadCapabilities(); },
                                 [&commands] { commands.ProbeWriteModes(); }});
    const bool selected = transport.SelectDevice(*line);
    transport.Detach(&commands);
    return selected ? kExitOk : kExitFailed;
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
    // The device line as the burn command and the window take it, then the kernel's
    // address of the drive (when it has one) and what it can write.
    for (const std::string& line : transport.DeviceList()) {
        const std::string kernel = transport.KernelAddress(line);
        std::fprintf(stdout, "%s%s [writes: %s]\n", line.c_str(), kernel.empty() ? "" : (" [kernel " + kernel + "]").c_str(),
                     ReadDriveAbilities(transport, line).WritesText().c_str());
    }
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
    TDriveCommands commands(transport);
    std::string line;
    if (const int status = selectDrive(drive, transport, commands, &line); status != kExitOk)
        return status;
    commands.DiscType = commands.GetDiscType();
    const uint32_t free = commands.FreeDiscBlocks();
    uint32_t address = 0;
    const bool nwa = commands.GetNextWritableAddress(&address);
    const TDriveAbilities abilities = ReadDriveAbilities(transport, line);
    std::fprintf(stdout, "drive: %s\n", line.c_str());
    const std::string kernel = transport.KernelAddress(line);
    if (!kernel.empty())
        std::fprintf(stdout, "kernel address: %s\n", kernel.c_str());
    std::fprintf(stdout, "writes: %s\n", abilities.WritesText().c_str());
    std::fprintf(stdout, "disc type: %s\n", DiscTypeName(commands.DiscType));
    std::fprintf(stdout, "free blocks: %u\n", free);
    if (nwa)
        std::fprintf(stdout, "next writable address: %u\n", address);
    else
        std::fprintf(stdout, "next writable address: none (%s)\n", transport.LastError().c_str());
    std::fprintf(stdout, "last session: %d\n", commands.LastSessionNumber());
    if (abilities.WritesAnything())  // a reader has no write speed
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

}  // namespace cli
