#include "childService.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace bench {
namespace {

constexpr int startLimitMs = 60000;

// Reads the child's output until its first line has come; false when the
// child ends or stays silent past the limit.
bool waitForFirstLine(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(startLimitMs);
    char c = 0;
    while (c != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0 || read(fd, &c, 1) != 1)
            return false;
    }
    return true;
}

} // namespace

childService::childService(const std::string& program, const std::vector<std::string>& args)
{
    int output[2];
    if (pipe(output) != 0)
        throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    const bool listening = failed == 0 && waitForFirstLine(output[0]);
    // The service writes only its first line; a closed pipe does not stop it.
    close(output[0]);
    if (failed != 0)
        pid = -1;
    if (!listening) {
        stop();
        throw std::runtime_error("service did not start: " + program);
    }
}

clockid_t childService::cpuClock() const
{
    clockid_t clock;
    if (clock_getcpuclockid(pid, &clock) != 0)
        throw std::runtime_error("no CPU-time clock for the service");
    return clock;
}

childService::~childService()
{
    stop();
}

void childService::stop()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
}

} // namespace bench
