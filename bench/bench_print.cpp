// Prints a 100,000-line report into a PDF with two columns a page (`vobrelfm print`), and
// the same file with `enscript -2 -B -f Courier9 -o - REPORT | ps2pdf - OUT.pdf` in the
// same run; prints time, peak memory and PDF size of each, and the ratios of ours against
// theirs.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <vector>

extern char** environ;

namespace {

struct Measure {
    double seconds = -1;
    double peakMiB = 0;
    int status = -1;
    std::uintmax_t bytes = 0;
};

// Runs a program with its output thrown away; the peak memory is the largest of the
// program and the children it waited for (the pipeline's stages under sh).
Measure run(const std::vector<std::string>& args, const std::string& output)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return m;
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakMiB = usage.ru_maxrss / 1024.0;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::error_code error;
    m.bytes = std::filesystem::file_size(output, error);
    if (error)
        m.status = m.status == 0 ? -1 : m.status;
    return m;
}

// Report lines as the register sends them: Z reports with their sales and tax lines.
void writeReport(const std::string& path, int lines)
{
    std::ofstream out(path, std::ios::binary);
    char text[64];
    for (int i = 0; i < lines; ++i) {
        const int z = i / 3 + 1;
        if (i % 3 == 0)
            std::snprintf(text, sizeof text, "Z REPORT NO. %04d\r\n", z % 10000);
        else if (i % 3 == 1)
            std::snprintf(text, sizeof text, "  SALES %10u.%02u\r\n", (z * 137u) % 100000u, z % 100u);
        else
            std::snprintf(text, sizeof text, "  TAX   %10u.%02u\r\n", (z * 23u) % 10000u, (z * 7u) % 100u);
        out << text;
    }
}

void report(const char* who, const Measure& m, const Measure& ours)
{
    if (m.status != 0) {
        std::printf("  %-44s not run (exit %d; is it installed?)\n", who, m.status);
        return;
    }
    std::printf("  %-44s %7.2f s %7.1f MiB %8.0f KiB   ours/this: time %.2f, memory %.2f, size %.2f\n", who,
                m.seconds, m.peakMiB, m.bytes / 1024.0, ours.seconds / m.seconds, ours.peakMiB / m.peakMiB,
                double(ours.bytes) / double(m.bytes));
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string program = argc > 1 ? argv[1] : "./build/vobrelfm";
    const std::string work = (std::filesystem::temp_directory_path() / "vobrelfm-bench-print").string();
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    const std::string reportFile = work + "/report.txt";
    const int lines = 100000;
    writeReport(reportFile, lines);
    std::printf("%d report lines, two columns a page, Courier 9 points:\n", lines);
    const Measure ours = run({program, "--home", work, "print", reportFile, "--pdf", work + "/ours.pdf",
                              "--pages", "2", "--font-size", "9"},
                             work + "/ours.pdf");
    std::printf("  %-44s %7.2f s %7.1f MiB %8.0f KiB%s\n", "vobrelfm print", ours.seconds, ours.peakMiB,
                ours.bytes / 1024.0, ours.status == 0 ? "" : "  (failed)");
    const std::string theirs = work + "/enscript.pdf";
    report("enscript -2 -B -f Courier9 | ps2pdf",
           run({"sh", "-c", "enscript -2 -B -f Courier9 -o - \"$0\" | ps2pdf - \"$1\"", reportFile, theirs}, theirs),
           ours);
    std::filesystem::remove_all(work);
    return ours.status == 0 ? 0 : 1;
}
