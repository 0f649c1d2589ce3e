#pragma once
// A helper program started with posix_spawn for a test (the register simulator, socat),
// with one of its output streams on a pipe. It is stopped when the object goes.
// posix_spawn rather than QProcess keeps the thread sanitizer's view of the test clean.

#include "core/base/posix_io.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

class SpawnedProcess {
public:
    // stream: 1 to read the program's stdout, 2 its stderr.
    SpawnedProcess(const QString& program, const QStringList& arguments, int stream)
    {
        // The program's stdin is a pipe that closes when this process ends, however it ends.
        int out[2], in[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0)
            return;
        std::vector<QByteArray> storage;
        storage.push_back(program.toLocal8Bit());
        for (const QString& a : arguments)
            storage.push_back(a.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& a : storage)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], stream);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
        out_.reset(out[0]);
        in_.reset(in[1]);
    }
    ~SpawnedProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            posix::retryEintr([this] { return ::waitpid(pid_, nullptr, 0); });
        }
    }
    bool started() const { return pid_ > 0; }

    // Reads the output until `count` matches of the pattern have appeared (or 5 s pass).
    QStringList waitForMatches(const QRegularExpression& pattern, int count)
    {
        QStringList found;
        while (pid_ > 0 && found.size() < count) {
            pollfd p {out_.get(), POLLIN, 0};
            if (posix::poll(&p, 1, 5000) <= 0)
                break;
            char buf[512];
            const ssize_t n = posix::read(out_.get(), buf, sizeof buf);
            if (n <= 0)
                break;
            text_ += QString::fromLocal8Bit(buf, static_cast<int>(n));
            found.clear();
            QRegularExpressionMatchIterator it = pattern.globalMatch(text_);
            while (it.hasNext())
                found << it.next().captured(1);
        }
        return found;
    }

    // Sends a signal; waits for the end and gives the exit status (-1 when killed).
    void signal(int number)
    {
        if (pid_ > 0)
            ::kill(pid_, number);
    }
    int waitForExit()
    {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_)
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The output read so far.
    QString text() const { return text_; }

private:
    pid_t pid_ = -1;
    posix::UniqueFd out_;
    posix::UniqueFd in_;
    QString text_;
};
