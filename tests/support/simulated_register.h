#pragma once
// Starts the register simulator (ecrsim) on a fresh pty for one test.

#include "tests/support/spawned_process.h"

class SimulatedRegister {
public:
    explicit SimulatedRegister(const QStringList& arguments)
        : process_(QStringLiteral(ECRSIM_PATH), QStringList(arguments) << QStringLiteral("--stop-with-stdin"), 1)
    {
        const QStringList found = process_.waitForMatches(QRegularExpression(QStringLiteral("^(\\S+)\\n")), 1);
        if (!found.isEmpty())
            pty_ = found.first();
    }
    // The slave path of the simulator's pty; empty when it did not start.
    QString pty() const { return pty_; }

private:
    SpawnedProcess process_;
    QString pty_;
};
