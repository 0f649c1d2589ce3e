// Inserts and lays out trees of empty files (100,000 files in 2,000 directories and
// 600,000 in 20,000) with `vobrelfm mkiso`, and builds images of the same trees with
// genisoimage -J and xorriso -as mkisofs -J in the same run; prints time and peak memory
// of each, and the ratios of ours against theirs.

#include "bench/bench_options.h"
#include "bench/bench_process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

void makeTree(const std::string& root, int files, int dirs)
{
    std::filesystem::create_directories(root);
    const int perDir = files / dirs;
    char name[64];
    for (int d = 0; d < dirs; ++d) {
        std::snprintf(name, sizeof name, "/dir%05d", d);
        const std::string dir = root + name;
        ::mkdir(dir.c_str(), 0755);
        for (int f = 0; f < perDir; ++f) {
            std::snprintf(name, sizeof name, "/file%06d.txt", d * perDir + f);
            const int fd = ::open((dir + name).c_str(), O_WRONLY | O_CREAT, 0644);
            if (fd >= 0)
                ::close(fd);
        }
    }
}

void report(const char* who, const Measure& m, const Measure& ours)
{
    if (m.status != 0) {
        std::printf("  %-28s not run (exit %d; is it installed?)\n", who, m.status);
        return;
    }
    std::printf("  %-28s %8.2f s %9.1f MiB   ours/this: time %.2f, memory %.2f\n", who, m.seconds, m.peakMiB,
                ours.seconds / m.seconds, ours.peakMiB / m.peakMiB);
}

}  // namespace

int main(int argc, char** argv)
{
    BenchOptions options("Lays out trees of empty files (100,000 files in 2,000 directories and 600,000 in\n"
                         "20,000) with `vobrelfm mkiso`; the baselines are genisoimage and xorriso\n"
                         "building images of the same trees in the same run.");
    options.value("--program", "PATH", VOBRELFM_PATH, "the vobrelfm program to measure")
        .flag("--quick", "the smaller tree only");
    if (const int status = options.parse(argc, argv); status >= 0)
        return status;
    const std::string program = options.text("--program");
    const std::string work = (std::filesystem::temp_directory_path() / "vobrelfm-bench-iso").string();
    const struct { int files, dirs; } sizes[] = {{100000, 2000}, {600000, 20000}};
    const bool quick = options.isSet("--quick");
    for (const auto& s : sizes) {
        if (quick && s.files > 100000)
            break;
        std::filesystem::remove_all(work);
        const std::string tree = work + "/tree";
        makeTree(tree, s.files, s.dirs);
        std::printf("%d files in %d directories:\n", s.files, s.dirs);
        const Measure ours = runMeasured({program, "mkiso", "--output", work + "/ours.iso", tree});
        std::printf("  %-28s %8.2f s %9.1f MiB%s\n", "vobrelfm mkiso", ours.seconds, ours.peakMiB,
                    ours.status == 0 ? "" : "  (failed)");
        report("genisoimage -J",
               runMeasured({"genisoimage", "-quiet", "-J", "-o", work + "/gen.iso", tree}), ours);
        report("xorriso -as mkisofs -J",
               runMeasured({"xorriso", "-as", "mkisofs", "-quiet", "-J", "-o", work + "/xor.iso", tree}), ours);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
