#pragma once
// What a register command reports its progress to: the progress window, or the terminal
// when a command runs from the command line.

#include <QString>
#include <cstdint>

// ProgressState values.
inline constexpr uint8_t kProgressWorking = 0;
inline constexpr uint8_t kProgressErrorShown = 1;
inline constexpr uint8_t kProgressClosed = 2;

class IProgressSink {
public:
    virtual ~IProgressSink() = default;
    // Shows the sink: ProgressState 0, the package counters 0.
    virtual void Show() = 0;
    // Closed by the caller on success; ProgressState is left as it is.
    virtual void Close() = 0;
    virtual void ShowStatus(bool isError, const QString& text) = 0;
    virtual void SetTotalPackages(int count) = 0;
    virtual void SetCurrentPackage(int number) = 0;
    // The number of packages is not known until the last one has come: the counter
    // from 0, and no total claimed.
    virtual void SetTotalUnknown() { SetTotalPackages(0); }
    // Waits until the operator has acknowledged (ProgressState 2).
    virtual void WaitForOperator() = 0;
    virtual uint8_t ProgressState() const = 0;
};
