#include "cli/burn_progress.h"

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

std::string speedAndTimeLeft(int64_t done, int64_t total, double seconds)
{
    char text[64];
    const double rate = seconds > 0 ? double(done) / seconds : 0;  // bytes per second
    if (rate <= 0) {
        std::snprintf(text, sizeof text, "  -.- MB/s   -:-- left");
        return text;
    }
    // Beyond 100 hours the estimate says nothing (a burn that has barely started), and
    // its seconds might not fit an integer.
    const double secondsLeft = double(std::max<int64_t>(total - done, 0)) / rate;
    if (secondsLeft >= 100.0 * 3600) {
        std::snprintf(text, sizeof text, "%5.1f MB/s   -:-- left", rate / 1e6);
        return text;
    }
    const int64_t left = std::llround(secondsLeft);
    std::snprintf(text, sizeof text, "%5.1f MB/s  %2lld:%02lld left", rate / 1e6, static_cast<long long>(left / 60),
                  static_cast<long long>(left % 60));
    return text;
}

int percentOf(int64_t done, int64_t total)
{
    return total > 0 ? static_cast<int>(std::clamp<int64_t>(done * 100 / total, 0, 100)) : 100;
}

}  // namespace

TBurnProgress::TBurnProgress(std::FILE* out, int64_t totalBytes, const char* label)
    : out_(out), total_(totalBytes), label_(label), terminal_(::isatty(::fileno(out)) != 0)
{
}

std::string TBurnProgress::Bar(int64_t done, int64_t total, double seconds, int width)
{
    const int percent = percentOf(done, total);
    const int filled = width * percent / 100;
    std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(width - filled), '-') + "]";
    char text[16];
    std::snprintf(text, sizeof text, " %3d%% ", percent);
    return bar + text + speedAndTimeLeft(done, total, seconds);
}

void TBurnProgress::Update(int64_t bytesWritten, double seconds)
{
    if (terminal_) {
        std::fprintf(out_, "\r%s", Bar(bytesWritten, total_, seconds, 30).c_str());
        barShown_ = true;
    } else {
        const int tenth = percentOf(bytesWritten, total_) / 10;
        if (tenth == lastTenth_)
            return;
        lastTenth_ = tenth;
        std::fprintf(out_, "%s: %d%%,%s\n", label_, tenth * 10, speedAndTimeLeft(bytesWritten, total_, seconds).c_str());
    }
    std::fflush(out_);
}

void TBurnProgress::Line(const std::string& text)
{
    Finish();
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void TBurnProgress::Finish()
{
    if (barShown_) {
        std::fputc('\n', out_);
        barShown_ = false;
    }
}
