#pragma once
// Runs the doorsim program for a test.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

// Runs doorsim with args; with wait, returns its exit code, else its pid.
inline int run(const QStringList& args, bool wait)
{
    std::vector<QByteArray> store{QByteArray(DOORSIM_PATH)};
    for (const QString& a : args)
        store.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : store)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, DOORSIM_PATH, nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    if (!wait)
        return pid;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs doorsim to its end: its exit code, what it printed in out and err.
inline int runPrinting(const QStringList& args, QByteArray& out, QByteArray& err)
{
    QProcess p;
    p.start(QStringLiteral(DOORSIM_PATH), args);
    if (!p.waitForFinished(60'000))
        return -1;
    out = p.readAllStandardOutput();
    err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

inline void stopDoorsim(int pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Starts doorsim serving socket; returns its pid once the socket exists (-1 on failure).
inline int startDoorsim(QStringList args, const QString& socket)
{
    args << socket;
    const int pid = run(args, false);
    if (pid <= 0)
        return -1;
    // Generous for a loaded machine; a program that ended is not waited for.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!QFile::exists(socket)) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            stopDoorsim(pid);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid;
}

// Stops the program when the test ends, however it ends.
struct DoorsimGuard {
    int pid = -1;
    ~DoorsimGuard() { stopDoorsim(pid); }
};
