// Burns a session of 300 report files and one large file (600 MiB in all) with the burner
// component to the emulated recorder, and measures in the same run:
//  1. at full speed, including the fsync of the image, against `genisoimage -J -o IMG` of
//     the same files followed by `sync`: the throughput ratio (goal >= 1.0);
//  2. at 52x (the recorder's buffer drains at 7.8 MiB/s): the process's CPU time per
//     second of burning (goal under 2 % of one core), and the buffer underruns with a CPU
//     hog on every core beside it (goal 0).
// The drive's protocol pauses (WaitReady's steps, meant for a mechanism) are shortened:
// the emulated recorder answers at once, and the pauses are not what is measured here.

#include "bench/bench_options.h"
#include "burn/burn_procedure.h"
#include "burn/burner.h"
#include "burn/emulated/emulated_target.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// CPU seconds of the process so far: user and system.
std::pair<double, double> cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return {double(u.ru_utime.tv_sec) + double(u.ru_utime.tv_usec) / 1e6,
            double(u.ru_stime.tv_sec) + double(u.ru_stime.tv_usec) / 1e6};
}

// 300 report files of about 10 KB and one file with the rest of `totalMiB`.
std::vector<std::string> makeSession(const std::string& dir, long totalMiB)
{
    std::filesystem::create_directories(dir);
    std::vector<std::string> files;
    std::string line = "  Z 0001  01-01-2026  TOTAL SALES          1234.56  VAT A 23%   230.00\r\n";
    int64_t used = 0;
    for (int i = 0; i < 300; ++i) {
        const std::string path = dir + "/report_" + std::to_string(i) + "_" + std::to_string(i + 30) + ".txt";
        std::ofstream out(path, std::ios::binary);
        for (int l = 0; l < 140; ++l)
            out << line;
        used += 140 * int64_t(line.size());
        files.push_back(path);
    }
    const std::string big = dir + "/archive.bin";
    std::ofstream out(big, std::ios::binary);
    std::vector<char> block(1 << 20);
    uint32_t x = 12345;
    for (char& c : block)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    for (int64_t left = totalMiB * 1048576 - used; left > 0; left -= int64_t(block.size()))
        out.write(block.data(), std::min<int64_t>(left, int64_t(block.size())));
    files.push_back(big);
    return files;
}

struct BurnMeasure {
    std::string result = "(not run)";
    double seconds = 0, cpu = 0, user = 0, medium = 0;
    int underruns = 0;
    bool realTime = false;
};

BurnMeasure burn(const std::string& image, const std::vector<std::string>& files, int speedX)
{
    std::filesystem::remove(image);
    std::filesystem::remove(image + ".state");
    TScsiTransportConfig config;
    config.deviceNodes = {"/nonexistent/sr0"};
    config.libraryNames = {};
    config.virtualDrivePath = image;
    config.virtualDriveSpeedX = speedX;
    config.openVirtualTarget = OpenEmulatedRecorder;
    TScsiTransport transport(std::move(config));
    TMCDBurner burner(transport);
    burner.Timing.waitDivisor = 1000;
    burner.Commands().Timing.waitDivisor = 1000;
    BurnMeasure m;
    if (!burner.InitASPILayer(true) || burner.DeviceList().empty() || !burner.SelectDevice(burner.DeviceList()[0]))
        return m;
    std::atomic<bool> realTime{false};
    burner.OnFinalizingTrack = [&](TMCDBurner&) {
        int policy = 0;
        sched_param p{};
        realTime = pthread_getschedparam(pthread_self(), &policy, &p) == 0 && policy == SCHED_RR;
    };
    const auto start = Clock::now();
    const auto cpu0 = cpuSeconds();
    IBurnSink quiet;
    TBurnOptions options;
    options.eject = false;
    const TBurnReport report = RunBurn(burner, files, options, quiet);
    m.result = report.outcome == TBurnOutcome::Done ? std::string() : report.text;
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto cpu1 = cpuSeconds();
    m.user = cpu1.first - cpu0.first;
    m.cpu = m.user + cpu1.second - cpu0.second;
    m.realTime = realTime;
    TEmulatedDrive* drive = BuiltInEmulatedDrive(transport.Layer());
    m.underruns = drive ? drive->BufferUnderruns() : -1;
    m.medium = drive ? drive->MediumCpuSeconds() : 0;
    return m;
}

double runBaseline(const std::string& dir, const std::string& image)
{
    const auto start = Clock::now();
    const std::vector<std::string> args = {"genisoimage", "-quiet", "-J", "-o", image, dir};
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    ::sync();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One busy process per core, until stopped.
std::vector<pid_t> startHogs()
{
    std::vector<pid_t> hogs;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile uint64_t n = 0;
            for (;;)
                n = n + 1;
        }
        if (pid > 0)
            hogs.push_back(pid);
    }
    return hogs;
}

void stopHogs(const std::vector<pid_t>& hogs)
{
    for (pid_t p : hogs) {
        kill(p, SIGKILL);
        waitpid(p, nullptr, 0);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    BenchOptions options("Burns 300 report files and one large file to the emulated recorder: at full\n"
                         "speed against genisoimage -J plus sync of the same files (throughput ratio),\n"
                         "and at 52x for the CPU cost per second and the buffer underruns beside a CPU hog.");
    options.value("--mib", "N", "600", "size of the session in MiB")
        .flag("--quick", "a 60 MiB session")
        .flag("--no-speed", "skip the 52x runs");
    if (const int status = options.parse(argc, argv); status >= 0)
        return status;
    const long mib = options.isSet("--quick") ? 60 : options.number("--mib");
    const std::string work = (std::filesystem::temp_directory_path() / "vobrelfm-bench-burn").string();
    std::filesystem::remove_all(work);
    const std::vector<std::string> files = makeSession(work + "/files", mib);
    const std::string image = work + "/disc.img";

    std::printf("%ld MiB session (300 report files and one large file):\n", mib);
    const BurnMeasure full = burn(image, files, 0);
    std::printf("  burner, virtual recorder at full speed, drive pauses shortened  %7.2f s  %7.1f MiB/s  %s\n",
                full.seconds,
                double(mib) / full.seconds, full.result.empty() ? "" : ("FAILED: " + full.result).c_str());
    std::filesystem::remove(image);
    const double baseline = runBaseline(work + "/files", work + "/gen.iso");
    if (baseline > 0)
        std::printf("  genisoimage -J -o IMG, then sync                                %7.2f s  %7.1f MiB/s\n"
                    "  throughput ratio burner (drive pauses shortened)/genisoimage: %.2f (goal >= 1.0;\n"
                    "  bench_burn_command.sh measures the whole command with no pause shortened)\n",
                    baseline, double(mib) / baseline, baseline / full.seconds);
    else
        std::printf("  genisoimage not run (is it installed?)\n");
    std::filesystem::remove(work + "/gen.iso");
    std::fflush(stdout);

    if (!options.isSet("--no-speed")) {
        const BurnMeasure quiet = burn(image, files, 52);
        std::printf("  at 52x, drive pauses shortened: %.1f s, process CPU %.2f s (user %.2f s) = %.2f %% of one core per second of burning,\n"
                    "          without the recorder's own image writes (%.2f s): %.2f %% (goal < 2 %%), underruns %d%s\n",
                    quiet.seconds, quiet.cpu, quiet.user, 100.0 * quiet.cpu / quiet.seconds, quiet.medium,
                    100.0 * (quiet.cpu - quiet.medium) / quiet.seconds, quiet.underruns,
                    quiet.result.empty() ? "" : ("  FAILED: " + quiet.result).c_str());
        std::fflush(stdout);
        const std::vector<pid_t> hogs = startHogs();
        const BurnMeasure loaded = burn(image, files, 52);
        stopHogs(hogs);
        std::printf("  at 52x beside %zu busy processes: %.1f s, underruns %d (goal 0), write thread %s%s\n",
                    hogs.size(), loaded.seconds, loaded.underruns,
                    loaded.realTime ? "real-time" : "at normal priority (no right to real-time)",
                    loaded.result.empty() ? "" : ("  FAILED: " + loaded.result).c_str());
    }
    std::filesystem::remove_all(work);
    return 0;
}
