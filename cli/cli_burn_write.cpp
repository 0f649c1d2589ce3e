// The burn command: the burn window's procedure from the command line (import the last
// session, insert into the root, prepare, space check, start, wait), with a directory
// argument written as a tree, progress on stderr, Ctrl-C through the burner's abort path,
// and an optional read-back of the new session.

#include "cli/burn_archive.h"
#include "cli/burn_progress.h"
#include "cli/cli.h"
#include "cli/cli_common.h"
#include "core/texts.h"
#include "burn/burn_procedure.h"
#include "burn/burner.h"
#include "burn/iso/local_tree.h"
#include "burn/sector_size.h"
#include "burn/write/session_verify.h"

#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>

namespace cli {

namespace {

std::atomic<bool> g_interrupted{false};

const char kNoRecorderHelp[] =
    "no recorder found: connect a CD writer (/dev/sr*) and give the user access to it (on Debian the "
    "cdrom group), or set [Burn] VirtualDrive=IMAGE in SYSTEM.CFG for the emulated recorder";
const char kCannotStop[] = "The last data has gone to the drive: the burn can no longer be stopped and "
                           "completes its close.";

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
    bool testWrite = false, finalize = false, noEject = false, verify = false, withoutLastSession = false;
    bool again = false;
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
        } else if (a == QLatin1String("--without-last-session")) {
            o->withoutLastSession = true;
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

QString formatNoRoom(int64_t requiredSectors, uint32_t freeSectors)
{
    return texts::FormatBurnFrm(1, {QString::number(requiredSectors * kSectorSize / 1024),
                                    QString::number(int64_t(freeSectors) * kSectorSize / 1024)});
}

int exitStatusOf(TBurnOutcome outcome)
{
    switch (outcome) {
    case TBurnOutcome::Done: return kExitOk;
    case TBurnOutcome::FileError:
    case TBurnOutcome::NothingToBurn: return kExitFileError;
    case TBurnOutcome::NoRoom: return kExitNoRoom;
    case TBurnOutcome::NotWritable: return kExitNotWritable;
    case TBurnOutcome::Unimportable: return kExitUnimportable;
    case TBurnOutcome::Unchanged:
    case TBurnOutcome::Failed: break;
    }
    return kExitFailed;
}

// The procedure's events on the terminal: its lines and the start here; the point from
// which the burn can no longer be stopped and the close are flags the waiting loop shows.
class TerminalSink : public IBurnSink {
public:
    TerminalSink(TBurnProgress& progress, std::mutex& printing) : progress_(progress), printing_(printing) {}
    void Notice(const std::string& text) override
    {
        std::lock_guard lock(printing_);
        progress_.Line(text);
    }
    void WriteStarting(int64_t sectors) override
    {
        std::lock_guard lock(printing_);
        progress_ = TBurnProgress(stderr, sectors * kSectorSize);
        progress_.Line(texts::BurnFrm(2).toStdString());
    }
    void LastWriteOut() override { lastWriteOut = true; }
    void FinalizingTrack() override { finalizing = true; }
    std::atomic<bool> lastWriteOut{false}, finalizing{false};

private:
    TBurnProgress& progress_;
    std::mutex& printing_;
};

}  // namespace

int runBurn(const QStringList& args)
{
    BurnOptions o;
    if (!parse(args, &o)) {
        printError(QStringLiteral("usage: burn [--drive N|LINE] [--test-write] [--finalize] [--speed N] "
                                  "[--no-eject] [--verify] [--without-last-session] [--again] PATH..."));
        return kExitUsage;
    }
    TMCDBurner burner;
    configureTransport(burner.Transport());
    TBurnProgress progress(stderr, 0);
    std::mutex printing;
    burner.OnDebugMessage = [&](TSCSIDevice&, const std::string& text, uint8_t) {
        std::lock_guard lock(printing);
        if (!text.empty() && text != " ")
            progress.Line(text);
    };
    // Without a drive there is nothing to burn on: say what to set up.
    if (!burner.InitASPILayer(true) || burner.DeviceList().empty()) {
        printError(texts::BurnFrm(6));
        printError(QString::fromLatin1(kNoRecorderHelp));
        return kExitNotWritable;
    }
    std::string line;
    if (!resolveDrive(o.drive, burner.DeviceList(), &line))
        return kExitUsage;
    if (!burner.SelectDevice(line))
        return kExitFailed;

    TBurnOptions options;
    options.testWrite = o.testWrite;
    options.finalizeDisc = o.finalize;
    options.speed = static_cast<uint16_t>(o.speed);
    options.verify = o.verify;
    options.eject = !o.noEject;
    options.continuePastUnimportable = o.withoutLastSession;
    options.missingIsError = true;
    options.burnUnchanged = o.again;
    TBurnArchive archive;
    archive.Apply(options);
    std::vector<std::string> paths;
    for (const QString& path : o.paths)
        paths.push_back(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());

    InterruptGuard interrupts;
    TerminalSink sink(progress, printing);
    TBurnProcedure burn(burner, sink);
    const auto started = std::chrono::steady_clock::now();
    if (burn.Start(paths, options)) {
        bool finalizingShown = false, abortAsked = false;
        const auto showProgress = [&] {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (finalizingShown)
                return;
            progress.Update(burner.BytesWritten(), seconds);
            if (sink.finalizing) {
                finalizingShown = true;
                progress.Line(texts::BurnFrm(3).toStdString());
            }
        };
        while (!burner.WaitForWriteDone(250)) {
            std::lock_guard lock(printing);
            if (g_interrupted && !abortAsked) {
                abortAsked = true;
                if (!burn.Cancel())
                    progress.Line(kCannotStop);
            }
            showProgress();
        }
        // A burn that ends within one tick still shows its last progress and its close.
        std::lock_guard lock(printing);
        showProgress();
    }
    const TBurnReport& report = burn.Finish();
    progress.Finish();
    switch (report.outcome) {
    case TBurnOutcome::NoRoom:
        printError(formatNoRoom(report.requiredSectors, report.freeSectors));
        return kExitNoRoom;
    case TBurnOutcome::NothingToBurn:
        printError(QStringLiteral("nothing to burn"));
        return kExitFileError;
    case TBurnOutcome::Unchanged:
        printError(AlreadyOnDiscText(report.unchanged) + QStringLiteral("; give --again to burn them once more"));
        return kExitFailed;
    default:
        break;
    }
    const bool burned = report.outcome == TBurnOutcome::Done || !report.verify.problem.empty();
    if (report.wrote)
        progress.Line(texts::BurnFrm(burned ? 4 : 5).toStdString());
    if (o.verify && o.testWrite && report.outcome == TBurnOutcome::Done)
        std::fprintf(stdout, "nothing to verify after a test write\n");
    else if (report.verified)
        std::fprintf(stdout, "verified %d files, %lld bytes\n", report.verify.files,
                     static_cast<long long>(report.verify.bytes));
    else if (!report.verify.problem.empty())
        std::fprintf(stdout, "verify failed: %s\n", report.verify.problem.c_str());
    if (report.outcome != TBurnOutcome::Done && report.verify.problem.empty())
        printError(QFile::decodeName(QByteArray::fromStdString(report.text)));
    // Where each file went, once the burn is known good.
    int status = exitStatusOf(report.outcome);
    QString message;
    const bool recorded = TBurnArchive::Record(report, line, &message);
    if (!message.isEmpty())
        printError(message);
    if (!recorded && status == kExitOk)
        status = kExitFileError;
    return status;
}

}  // namespace cli
