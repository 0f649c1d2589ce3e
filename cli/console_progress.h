#pragma once
// Progress of a command run from the command line: status lines on stderr.

#include "reports/progress_sink.h"

#include <cstdio>

class TConsoleProgress : public IProgressSink {
public:
    explicit TConsoleProgress(std::FILE* out = stderr) : out_(out) {}
    void Show() override;
    void Close() override;
    void ShowStatus(bool isError, const QString& text) override;
    void SetTotalPackages(int count) override;
    void SetCurrentPackage(int number) override;
    // Nobody is there to press OK: an error counts as acknowledged at once.
    void WaitForOperator() override;
    uint8_t ProgressState() const override { return state_; }
    // The last status text shown.
    QString LastStatus() const { return last_; }

private:
    std::FILE* out_;
    uint8_t state_ = kProgressWorking;
    int total_ = 0;
    bool packageShown_ = false;
    QString last_;
};
