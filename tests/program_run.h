#pragma once
// Runs the program's command line (VOBRELFM_PATH, defined by the test's CMake target) in a
// child process and collects its exit status and what it printed. A run that outlives its
// time limit is killed and reported as such.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProgramRun {
    int status = -1;  // the exit code; -1 when the program crashed or did not end
    bool timedOut = false;
    QString out, err;
};

// Runs `program` (a copy of the program elsewhere, for example); locale, when given, sets
// LC_ALL and LANG of the child (regional formats).
inline ProgramRun runProgramAt(const QString& program, const QStringList& args, const QString& locale = QString(),
                               int timeoutMs = 120000)
{
    QProcess p;
    if (!locale.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", locale);
        env.insert("LANG", locale);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForFinished(timeoutMs)) {
        r.timedOut = true;
        p.kill();  // counts as a crash below
        p.waitForFinished();
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

inline ProgramRun runProgram(const QStringList& args, const QString& locale = QString(), int timeoutMs = 120000)
{
    return runProgramAt(QStringLiteral(VOBRELFM_PATH), args, locale, timeoutMs);
}
