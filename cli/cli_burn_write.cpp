// The burn command: the burn window's procedure from the command line (import the last
// session, insert into the root, prepare, space check, start, wait), with a directory
// argument written as a tree, progress on stderr, Ctrl-C through the burner's abort path,
// an optional read-back of the new session, the session's checksum list and the archive
// record of what went where.

#include "cli/burn_archive.h"
#include "cli/burn_progress.h"
#include "cli/cli.h"
#include "cli/cli_common.h"
#include "core/texts.h"
#include "burn/burner.h"
#include "burn/iso/iso_image_file.h"
#include "burn/write/session_verify.h"

#include <QDateTime>
#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>

namespace cli {

namespace {

std::atomic<bool> g_interrupted{false};

void onInterrupt(int)
{
    g_interrupted = true;
}

// Ctrl-C asks the burn to stop (it is flushed and ended cleanly) instead of killing the
// process with the drive in the middle of a write.
class InterruptGuard {
public:
    InterruptGuard()
    {
        g_interrupted = false;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, &previous_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~InterruptGuard()
    {
        sigaction(SIGINT, &previous_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }

private:
    struct sigaction previous_ {}, previousTerm_ {};
};

struct BurnOptions {
    QString drive;
    bool testWrite = false, finalize = false, noEject = false, verify = false, again = false;
    int speed = 0;
    QStringList paths;
};

bool parse(const QStringList& args, BurnOptions* o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--drive") && i + 1 < args.size()) {
            o->drive = args[++i];
        } else if (a == QLatin1String("--speed") && i + 1 < args.size()) {
            bool ok = false;
            o->speed = args[++i].toInt(&ok);
            if (!ok || o->speed < 0 || o->speed > 370)  // 370 x 177 KB/s fits the command's 16 bits
                return false;
        } else if (a == QLatin1String("--test-write")) {
            o->testWrite = true;
        } else if (a == QLatin1String("--finalize")) {
            o->finalize = true;
        } else if (a == QLatin1String("--no-eject")) {
            o->noEject = true;
        } else if (a == QLatin1String("--verify")) {
            o->verify = true;
        } else if (a == QLatin1String("--again")) {
            o->again = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return false;
        } else {
            o->paths << a;
        }
    }
    return !o->paths.isEmpty();
}

// A burn that ended because a source file could not be read or changed is a file error.
bool isSourceFileError(const std::string& text)
{
    return text.rfind("CAN'T OPEN FILE ", 0) == 0 || text.rfind("FILE \"", 0) == 0;
}

QString formatNoRoom(int64_t requiredSectors, uint32_t freeSectors)
{
    return texts::FormatBurnFrm(1, {QString::number(requiredSectors * 2048 / 1024),
                                    QString::number(int64_t(freeSectors) * 2048 / 1024)});
}

// Puts one argument into the root: a file as itself, a directory as a directory of its
// name holding its whole tree.
int insertPath(TMCDBurner& burner, const QString& path)
{
    const QFileInfo info(path);
    const std::string source = info.absoluteFilePath().toStdString();
    if (!info.exists()) {
        printError(QStringLiteral("cannot read %1: no such file or directory").arg(path));
        return kExitFileError;
    }
    std::string error;
    if (!(info.isDir() ? InsertFolderIntoRoot(burner.Tables(), source, &error)
                       : InsertTree(burner.Tables(), source, "\\", false, &error))) {
        printError(QString::fromStdString(error));
        return kExitFileError;
    }
    return kExitOk;
}

}  // namespace

int runBurn(const QStringList& args)
{
    BurnOptions o;
    if (!parse(args, &o)) {
        printError(QStringLiteral("usage: burn [--drive N|LINE] [--test-write] [--finalize] [--speed N] "
                                  "[--no-eject] [--verify] [--again] PATH..."));
        return kExitUsage;
    }
    TMCDBurner burner;
    configureTransport(burner.Transport());
    TBurnProgress progress(stderr, 0);
    std::mutex printing;
    bool fileProblem = false;
    burner.OnDebugMessage = [&](TSCSIDevice&, const std::string& text, uint8_t kind) {
        std::lock_guard lock(printing);
        if (kind == kMsgTableLimit || kind == kMsgFileSystem)
            fileProblem = true;
        if (!text.empty() && text != " ")
            progress.Line(text);
    };
    if (!burner.InitASPILayer(true)) {
        printError(texts::BurnFrm(6));
        return kExitFailed;
    }
    std::string line;
    if (!resolveDrive(o.drive, burner.DeviceList(), &line))
        return kExitUsage;
    if (!burner.SelectDevice(line))
        return kExitFailed;

    burner.SetTestWrite(o.testWrite);
    burner.SetFinalizeDisc(o.finalize);
    burner.SetSessionToImport(-1);
    for (const QString& path : o.paths)
        if (const int status = insertPath(burner, path); status != kExitOk)
            return status;
    if (fileProblem)
        return kExitFileError;
    burner.SetWriteSpeed(static_cast<uint16_t>(o.speed));
    if (burner.DirectoryCount() == 0 && burner.FileCount() == 0) {
        printError(QStringLiteral("nothing to burn"));
        return kExitFileError;
    }
    // The session's checksum list (counted in its size), and no second copy of files the
    // disc holds unchanged unless asked for.
    TBurnArchive archive(burner.Tables());
    if (std::string error; !archive.Prepare(&error)) {
        printError(QString::fromStdString(error));
        return kExitFileError;
    }
    if (const std::vector<std::string> same = archive.AlreadyOnDisc(burner.Commands()); !same.empty() && !o.again) {
        printError(AlreadyOnDiscText(same) + QStringLiteral("; give --again to burn them once more"));
        return kExitFailed;
    }
    if (archive.ChecksumsOn()) {
        const int64_t now = QDateTime::currentSecsSinceEpoch();
        burner.SetDateCreation(now);  // the disc's identity when this is its first session
        burner.SetDateModification(now);
    }
    burner.PrepareImage(false);
    const uint32_t free = burner.FreeDiscBlocks();
    const int64_t sectors = burner.ImageSectors();
    if (sectors > int64_t(free)) {
        printError(formatNoRoom(sectors, free));
        return kExitNoRoom;
    }

    InterruptGuard interrupts;
    std::mutex ending;
    std::string result;
    std::atomic<bool> finalizing{false};
    burner.OnFinalizingTrack = [&](TMCDBurner&) { finalizing = true; };
    burner.OnWriteDone = [&](TMCDBurner&, const std::string& error) {
        std::lock_guard lock(ending);
        result = error;
    };
    progress = TBurnProgress(stderr, sectors * 2048);
    progress.Line(texts::BurnFrm(2).toStdString());
    const auto started = std::chrono::steady_clock::now();
    if (burner.StartWrite()) {
        bool finalizingShown = false, abortAsked = false;
        while (!burner.WaitForWriteDone(250)) {
            if (g_interrupted && !abortAsked) {
                abortAsked = true;
                burner.AbortWrite();
            }
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            std::lock_guard lock(printing);
            if (finalizing && !finalizingShown) {
                finalizingShown = true;
                progress.Update(burner.BytesWritten(), seconds);
                progress.Line(texts::BurnFrm(3).toStdString());
            } else if (!finalizingShown) {
                progress.Update(burner.BytesWritten(), seconds);
            }
        }
    }
    progress.Finish();
    std::string error;
    {
        std::lock_guard lock(ending);
        error = result;
    }
    if (!error.empty()) {
        progress.Line(texts::BurnFrm(5).toStdString());
        printError(QString::fromStdString(error));
        return isSourceFileError(error) ? kExitFileError : kExitFailed;
    }
    progress.Line(texts::BurnFrm(4).toStdString());
    int status = kExitOk;
    if (o.verify && o.testWrite) {
        std::fprintf(stdout, "nothing to verify after a test write\n");
    } else if (o.verify) {
        const TVerifyResult v = VerifySession(burner.Commands(), burner.Tables(),
                                              archive.ChecksumsOn() ? &archive.Files() : nullptr);
        if (v.ok) {
            std::fprintf(stdout, "verified %d files, %lld bytes\n", v.files, static_cast<long long>(v.bytes));
        } else {
            std::fprintf(stdout, "verify failed: %s\n", v.problem.c_str());
            status = kExitFailed;
        }
    }
    // Where each file went, once the burn is known good.
    if (status == kExitOk && !o.testWrite) {
        QString message;
        const bool recorded = archive.Record(burner.Commands(), line, &message);
        if (!message.isEmpty())
            printError(message);
        if (!recorded)
            status = kExitFileError;
    }
    if (!o.noEject)
        burner.LoadUnload(true);
    return status;
}

}  // namespace cli
