#pragma once
// The common baseline of the file benchmarks: a text file read line by line into a list
// in memory (CR LF line ends dropped). Returns the time it took in milliseconds.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <vector>

inline double readLinesBaselineMs(const QString& path, std::vector<QByteArray>* lines)
{
    QElapsedTimer t;
    t.start();
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    while (!f.atEnd()) {
        QByteArray line = f.readLine();
        line.chop(2);
        lines->push_back(std::move(line));
    }
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}
