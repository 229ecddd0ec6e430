#pragma once
// Runs the doorsim program for a test.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

// Runs doorsim with args, its standard error into errFile when one is named;
// with wait, returns its exit code, else its pid.
inline int run(const QStringList& args, bool wait, const QString& errFile = QString())
{
    std::vector<QByteArray> store{QByteArray(DOORSIM_PATH)};
    for (const QString& a : args)
        store.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : store)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errFile.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 2, QFile::encodeName(errFile).constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, DOORSIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    if (!wait)
        return pid;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs doorsim to its end: its exit code, what it printed in out and err.
// inChild runs in the child before doorsim starts (to set a limit, say).
inline int runPrinting(const QStringList& args, QByteArray& out, QByteArray& err,
                       const std::function<void()>& inChild = {})
{
    QProcess p;
    if (inChild)
        p.setChildProcessModifier(inChild);
    p.start(QStringLiteral(DOORSIM_PATH), args);
    if (!p.waitForFinished(60'000))
        return -1;
    out = p.readAllStandardOutput();
    err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Its exit code (-1 when none ran or it did not exit).
inline int stopDoorsim(int pid, int signal = SIGTERM)
{
    if (pid <= 0)
        return -1;
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts doorsim serving socket; returns its pid once the socket exists (-1 on failure).
inline int startDoorsim(QStringList args, const QString& socket, const QString& errFile = QString())
{
    args << socket;
    const int pid = run(args, false, errFile);
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
