#include "cli/console_progress.h"

#include <unistd.h>

void TConsoleProgress::Show()
{
    state_ = kProgressWorking;
    total_ = 0;
}

void TConsoleProgress::Close() {}

void TConsoleProgress::ShowStatus(bool isError, const QString& text)
{
    if (state_ == kProgressClosed)
        return;
    // A status repeated for every page is printed once.
    if (isError || text != last_) {
        std::fprintf(out_, "%s%s%s\n", packageShown_ ? "\n" : "", isError ? "error: " : "",
                     text.toLocal8Bit().constData());
        std::fflush(out_);
        packageShown_ = false;
    }
    last_ = text;
    state_ = isError ? kProgressErrorShown : kProgressWorking;
}

void TConsoleProgress::SetTotalPackages(int count)
{
    total_ = count > 0 ? count : 0;
}

void TConsoleProgress::SetCurrentPackage(int number)
{
    // The package counter is shown in place on a terminal, and left out of logs.
    if (!isatty(fileno(out_)))
        return;
    std::fprintf(out_, "\rpackage %d", number);
    std::fflush(out_);
    packageShown_ = true;
}

void TConsoleProgress::WaitForOperator()
{
    state_ = kProgressClosed;
}
