#pragma once
// Runs a benchmarked program with its output thrown away and measures its wall time and
// peak memory (the largest of the program and the children it waited for, so a shell
// pipeline counts its biggest stage).

#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

struct Measure {
    double seconds = -1;
    double peakMiB = 0;
    int status = -1;  // exit status; -1 when it did not start or did not exit
};

inline Measure runMeasured(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    Measure m;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return m;
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}
