// A detail report of many pages from the register simulator over a pty with no reply
// delay: pages per second and CPU time per page, against the raw round trip of the
// same 302/301-byte frames over a pty pair measured in the same run.

#include "bench/bench_options.h"
#include "cli/console_progress.h"
#include "core/settings.h"
#include "link/ibus_frame.h"
#include "link/ibus_session.h"
#include "reports/report_download.h"
#include "reports/report_grid_model.h"
#include "tests/support/simulated_register.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

double cpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool readFully(int fd, uint8_t* buf, std::size_t n)
{
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buf + got, n - got);
        if (r <= 0)
            return false;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

// Round trips of a 302-byte request answered by a 301-byte frame over a raw pty pair.
double rawRoundTripMs(int rounds)
{
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return -1;
    termios tio {};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    std::thread peer([master, rounds] {
        uint8_t in[302], out[301] = {0x03};
        for (int i = 0; i < rounds; ++i) {
            if (!readFully(master, in, sizeof in))
                return;
            ::write(master, out, sizeof out);
        }
    });
    uint8_t req[302] = {0x03}, rep[301];
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i) {
        ::write(slave, req, sizeof req);
        readFully(slave, rep, sizeof rep);
    }
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6 / rounds;
    peer.join();
    ::close(master);
    ::close(slave);
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BenchOptions options("Downloads a detail report of many pages from the register simulator over a pty;\n"
                         "the baseline is the raw round trip of frames of the same size over a pty pair.");
    options.value("--pages", "N", "3000", "pages in the report (10 lines each)")
        .value("--rounds", "N", "2000", "round trips measured for the baseline");
    if (const int status = options.parse(argc, argv); status >= 0)
        return status;
    const int pages = static_cast<int>(options.number("--pages"));
    QTemporaryDir home;
    InitProgramPaths(home.path());
    QDir().mkpath(Settings().ReportDir);

    const double rawMs = rawRoundTripMs(static_cast<int>(options.number("--rounds")));

    SimulatedRegister reg({"--generate", QString::number(pages * 10 - 1)});
    if (reg.pty().isEmpty()) {
        std::fprintf(stderr, "the register simulator did not start\n");
        return 1;
    }
    TVeskIBusComm bus;
    bus.OnShowError = [](const QString& t) { std::fprintf(stderr, "%s\n", t.toLocal8Bit().constData()); };
    std::FILE* quiet = std::fopen("/dev/null", "w");
    TConsoleProgress progress(quiet);
    ReportGridModel grid;
    TDownloadJob job;
    job.bus = &bus;
    job.progress = &progress;
    job.grid = &grid;
    job.range.ReportFileName = "bench_1_1.txt";
    job.commName = reg.pty();
    job.baudIndex = 4;
    job.reportDir = Settings().ReportDir;
    SetDownloadRetries(bus, TReportKind::Detail);

    const double cpu0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    const TDownloadOutcome outcome = RunReportDownload(job);
    const double wallS = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const double cpuS = cpuSeconds() - cpu0;
    std::fclose(quiet);
    if (outcome != TDownloadOutcome::Stored) {
        std::fprintf(stderr, "download failed: %s\n", job.errorText.toLocal8Bit().constData());
        return 1;
    }
    const double perPageMs = wallS * 1000 / pages;
    std::printf("pages: %d, lines: %d\n", pages, grid.RowCount() - 1);
    std::printf("raw 302/301-byte round trip over a pty (baseline): %.3f ms\n", rawMs);
    std::printf("download: %.1f pages/s, %.3f ms per page (ratio %.1f to the raw round trip)\n",
                pages / wallS, perPageMs, perPageMs / rawMs);
    std::printf("CPU: %.3f ms per page (this process)\n", cpuS * 1000 / pages);
    return 0;
}
