#pragma once
// Runs the program's command line (VOBRELFM_PATH, defined by the test's CMake target), or
// another program, in a child process and collects its exit status and what it printed.
// A run that outlives its time limit is killed and reported as such.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProgramRun {
    int status = -1;  // the exit code; -1 when the program crashed or did not end
    bool timedOut = false;
    QString out, err;
};

// Runs any program with the given environment; its standard input is closed at once.
inline ProgramRun runCommand(const QString& program, const QStringList& args,
                             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                             int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.closeWriteChannel();
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

// Runs `program` (a copy of the program elsewhere, for example); locale, when given, sets
// LC_ALL and LANG of the child (regional formats).
inline ProgramRun runProgramAt(const QString& program, const QStringList& args, const QString& locale = QString(),
                               int timeoutMs = 120000)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!locale.isEmpty()) {
        env.insert("LC_ALL", locale);
        env.insert("LANG", locale);
    }
    return runCommand(program, args, env, timeoutMs);
}

#ifdef VOBRELFM_PATH
inline ProgramRun runProgram(const QStringList& args, const QString& locale = QString(), int timeoutMs = 120000)
{
    return runProgramAt(QStringLiteral(VOBRELFM_PATH), args, locale, timeoutMs);
}
#endif
