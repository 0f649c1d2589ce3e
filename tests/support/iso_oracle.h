#pragma once
// Reads images back with tools nobody here wrote: xorriso and isoinfo.

#include <QProcess>
#include <QString>
#include <QStringList>

struct OracleRun {
    int status = -1;
    QString out;
};

inline OracleRun runOracle(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(5000))
        return {};
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAll())};
}

inline bool haveOracles()
{
    return runOracle("xorriso", {"-version"}).status == 0 && runOracle("isoinfo", {"-version"}).status >= 0 &&
           QProcess::execute("sh", {"-c", "command -v isoinfo >/dev/null"}) == 0;
}
