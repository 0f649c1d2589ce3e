#pragma once
// A temporary program directory for one test.

#include "core/settings.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

class TestHome {
public:
    TestHome() { InitProgramPaths(dir_.path()); Settings().CommPort = 2; Settings().CommBaudRate = 0; }
    QString path(const QString& name) const { return dir_.path() + '/' + name; }

private:
    QTemporaryDir dir_;
};

// A whole file's bytes (empty when it cannot be read), and writing one.
inline QByteArray readTestFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeTestFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// Writes the test home's SYSTEM.CFG whole.
inline bool writeSystemConfig(const QByteArray& content)
{
    return writeTestFile(Settings().SettingsFile, content);
}

// A SYSTEM.CFG whose port COM2, at the speed of index baudIndex, is the given device (a
// simulator's pty).
inline bool writeSystemConfigForDevice(const QString& device, int baudIndex)
{
    return writeSystemConfig("[Comm]\r\nPort=2\r\nBaudRate=" + QByteArray::number(baudIndex) +
                             "\r\n[Ports]\r\nCOM2=" + device.toLocal8Bit() + "\r\n");
}
