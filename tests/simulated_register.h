#pragma once
// Starts the register simulator (ecrsim) on a fresh pty for one test.

#include <QProcess>
#include <QString>
#include <QStringList>

class SimulatedRegister {
public:
    explicit SimulatedRegister(const QStringList& arguments)
    {
        process_.setProgram(QStringLiteral(ECRSIM_PATH));
        process_.setArguments(arguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (process_.waitForStarted(5000)) {
            while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
            }
            pty_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        }
    }
    ~SimulatedRegister()
    {
        process_.terminate();
        process_.waitForFinished(3000);
    }
    // The slave path of the simulator's pty; empty when it did not start.
    QString pty() const { return pty_; }

private:
    QProcess process_;
    QString pty_;
};
