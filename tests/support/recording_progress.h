#pragma once
// A progress sink that records what a command reports.

#include "reports/progress_sink.h"

#include <QStringList>

class RecordingProgress : public IProgressSink {
public:
    void Show() override { ++shows; state = kProgressWorking; }
    void Close() override { ++closes; }
    void ShowStatus(bool isError, const QString& text) override
    {
        if (state == kProgressClosed)
            return;
        statuses << (isError ? QStringLiteral("E:") : QStringLiteral("N:")) + text;
        state = isError ? kProgressErrorShown : kProgressWorking;
    }
    void SetTotalPackages(int count) override { totals << count; }
    void SetCurrentPackage(int number) override { currents << number; }
    void WaitForOperator() override { ++waits; state = kProgressClosed; }
    uint8_t ProgressState() const override { return state; }

    QStringList statuses;
    QList<int> totals, currents;
    int shows = 0, closes = 0, waits = 0;
    uint8_t state = kProgressWorking;
};
