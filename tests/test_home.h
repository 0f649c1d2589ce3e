#pragma once
// A temporary program directory for one test.

#include "app/settings.h"

#include <QTemporaryDir>

class TestHome {
public:
    TestHome() { InitProgramPaths(dir_.path()); Settings().CommPort = 2; Settings().CommBaudRate = 0; }
    QString path(const QString& name) const { return dir_.path() + '/' + name; }

private:
    QTemporaryDir dir_;
};
