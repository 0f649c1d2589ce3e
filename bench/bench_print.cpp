// Prints a 100,000-line report into a PDF with two columns a page (`vobrelfm print`), and
// the same file with `enscript -2 -B -f Courier9 -o - REPORT | ps2pdf - OUT.pdf` in the
// same run; prints time, peak memory and PDF size of each, and the ratios of ours against
// theirs.

#include "bench/bench_options.h"
#include "bench/bench_process.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A run and the size of the PDF it wrote (0 when it wrote none).
struct PdfRun : Measure {
    std::uintmax_t bytes = 0;
};

PdfRun run(const std::vector<std::string>& args, const std::string& output)
{
    PdfRun m;
    static_cast<Measure&>(m) = runMeasured(args);
    std::error_code error;
    m.bytes = std::filesystem::file_size(output, error);
    if (error && m.status == 0)
        m.status = -1;
    return m;
}

// Report lines as the register sends them: Z reports with their sales and tax lines.
void writeReport(const std::string& path, int lines)
{
    std::ofstream out(path, std::ios::binary);
    char text[64];
    for (int i = 0; i < lines; ++i) {
        const unsigned z = static_cast<unsigned>(i / 3 + 1);
        if (i % 3 == 0)
            std::snprintf(text, sizeof text, "Z REPORT NO. %04u\r\n", z % 10000);
        else if (i % 3 == 1)
            std::snprintf(text, sizeof text, "  SALES %10u.%02u\r\n", (z * 137u) % 100000u, z % 100u);
        else
            std::snprintf(text, sizeof text, "  TAX   %10u.%02u\r\n", (z * 23u) % 10000u, (z * 7u) % 100u);
        out << text;
    }
}

void report(const char* who, const PdfRun& m, const PdfRun& ours)
{
    if (m.status != 0) {
        std::printf("  %-44s not run (exit %d; is it installed?)\n", who, m.status);
        return;
    }
    std::printf("  %-44s %7.2f s %7.1f MiB %8.0f KiB   ours/this: time %.2f, memory %.2f, size %.2f\n", who,
                m.seconds, m.peakMiB, static_cast<double>(m.bytes) / 1024.0, ours.seconds / m.seconds, ours.peakMiB / m.peakMiB,
                double(ours.bytes) / double(m.bytes));
}

}  // namespace

int main(int argc, char** argv)
{
    BenchOptions options("Prints a report into a PDF with two columns a page (`vobrelfm print`); the\n"
                         "baseline is enscript -2 -B -f Courier9 piped into ps2pdf, on the same file in\n"
                         "the same run.");
    options.value("--program", "PATH", VOBRELFM_PATH, "the vobrelfm program to measure")
        .value("--lines", "N", "100000", "report lines");
    if (const int status = options.parse(argc, argv); status >= 0)
        return status;
    const std::string program = options.text("--program");
    const int lines = static_cast<int>(options.number("--lines"));
    const std::string work = (std::filesystem::temp_directory_path() / "vobrelfm-bench-print").string();
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    const std::string reportFile = work + "/report.txt";
    writeReport(reportFile, lines);
    std::printf("%d report lines, two columns a page, Courier 9 points:\n", lines);
    const PdfRun ours = run({program, "--home", work, "print", reportFile, "--pdf", work + "/ours.pdf",
                             "--pages", "2", "--font-size", "9"},
                            work + "/ours.pdf");
    std::printf("  %-44s %7.2f s %7.1f MiB %8.0f KiB%s\n", "vobrelfm print", ours.seconds, ours.peakMiB,
                static_cast<double>(ours.bytes) / 1024.0, ours.status == 0 ? "" : "  (failed)");
    const std::string theirs = work + "/enscript.pdf";
    const char* pipeline = "enscript -2 -B -f Courier9 -o - \"$0\" | ps2pdf - \"$1\"";
    report("enscript -2 -B -f Courier9 | ps2pdf", run({"sh", "-c", pipeline, reportFile, theirs}, theirs), ours);
    std::filesystem::remove_all(work);
    return ours.status == 0 ? 0 : 1;
}
