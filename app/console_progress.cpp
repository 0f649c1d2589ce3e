#include "app/console_progress.h"

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
    last_ = text;
    std::fprintf(out_, "%s%s\n", isError ? "error: " : "", text.toLocal8Bit().constData());
    std::fflush(out_);
    state_ = isError ? kProgressErrorShown : kProgressWorking;
}

void TConsoleProgress::SetTotalPackages(int count)
{
    total_ = count > 0 ? count : 0;
}

void TConsoleProgress::SetCurrentPackage(int number)
{
    if (total_ > 0)
        std::fprintf(out_, "package %d of %d\n", number, total_);
    else
        std::fprintf(out_, "package %d\n", number);
    std::fflush(out_);
}

void TConsoleProgress::WaitForOperator()
{
    state_ = kProgressClosed;
}
