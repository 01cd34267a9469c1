#include "childProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {

using clock_type = std::chrono::steady_clock;

std::vector<std::string> childEnvironment(const std::vector<std::string>& extra)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::string(*entry).rfind("TESSERA_", 0) != 0)
            env.push_back(*entry);
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (std::string& s : strings)
        result.push_back(&s[0]);
    result.push_back(nullptr);
    return result;
}

void makePipe(int ends[2])
{
    if (pipe2(ends, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
}

// Appends what `fd` has to `to`; closes it and sets it to -1 at its end.
void drain(int& fd, std::string& to)
{
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        to.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        close(fd);
        fd = -1;
    }
}

} // namespace

namespace testsupport {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

childProcess::childProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           const std::string& input)
{
    int in[2], outPipe[2], errPipe[2];
    makePipe(in);
    makePipe(outPipe);
    makePipe(errPipe);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<std::string> args = argv;
    std::vector<std::string> environment = childEnvironment(env);
    const int spawned =
        posix_spawn(&pid, args[0].c_str(), &actions, nullptr, pointers(args).data(), pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    outFd = outPipe[0];
    errFd = errPipe[0];
    if (spawned != 0) {
        pid = -1;
        close(in[1]);
        throw std::runtime_error("cannot start " + args[0]);
    }
    // Inputs of the tests are far below the pipe's capacity.
    const ssize_t written = write(in[1], input.data(), input.size());
    (void)written;
    close(in[1]);
}

childProcess::~childProcess()
{
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (outFd >= 0)
        close(outFd);
    if (errFd >= 0)
        close(errFd);
}

bool childProcess::pump(std::chrono::milliseconds timeout)
{
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    if (outFd < 0 && errFd < 0)
        return false;
    if (poll(fds, 2, static_cast<int>(timeout.count())) <= 0)
        return true;
    if (fds[0].revents != 0)
        drain(outFd, out);
    if (fds[1].revents != 0)
        drain(errFd, err);
    return true;
}

bool childProcess::readLine(std::string& line, std::chrono::milliseconds timeout)
{
    return takeLine(out, line, timeout);
}

bool childProcess::readErrorLine(std::string& line, std::chrono::milliseconds timeout)
{
    return takeLine(err, line, timeout);
}

bool childProcess::takeLine(std::string& from, std::string& line, std::chrono::milliseconds timeout)
{
    const auto deadline = clock_type::now() + timeout;
    while (from.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now());
        if (left.count() <= 0 || !pump(left))
            return false;
    }
    const size_t end = from.find('\n');
    line = from.substr(0, end);
    from.erase(0, end + 1);
    return true;
}

void childProcess::sendSignal(int signalNumber)
{
    if (pid > 0)
        kill(pid, signalNumber);
}

childResult childProcess::finish(std::chrono::milliseconds timeout)
{
    const auto deadline = clock_type::now() + timeout;
    childResult result;
    while (clock_type::now() < deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now());
        if (!pump(left))
            break;
    }
    if (outFd >= 0 || errFd >= 0)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (outFd < 0 && errFd < 0 && WIFSIGNALED(status))
        result.status = 128 + WTERMSIG(status);
    result.out = out;
    result.err = err;
    return result;
}

} // namespace testsupport
