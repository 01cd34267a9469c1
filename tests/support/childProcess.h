// Runs a program as a child process with its standard streams on pipes, for
// tests that drive a command-line program. Every wait is time-bounded so that
// a hanging child fails the test instead of hanging it.
#ifndef TESSERA_TESTS_CHILD_PROCESS_H
#define TESSERA_TESTS_CHILD_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

// The lines of a text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);

struct childResult {
    int status = -1; // exit status; 128 + n when ended by signal n; -1 when it had to be killed
    std::string out;
    std::string err;
};

class childProcess {
public:
    // Starts argv[0] with argv, the parent's environment without variables
    // starting with "TESSERA_", plus `env` ("NAME=value" entries), and
    // `input` on standard input (then closed).
    childProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& input);
    ~childProcess(); // kills a child that still runs
    childProcess(const childProcess&) = delete;
    childProcess& operator=(const childProcess&) = delete;

    // Waits up to `timeout` for a complete line on standard output and
    // returns it without its newline; false when none came.
    bool readLine(std::string& line, std::chrono::milliseconds timeout);
    // The same for standard error; finish() returns what was not taken.
    bool readErrorLine(std::string& line, std::chrono::milliseconds timeout);
    void sendSignal(int signalNumber);
    pid_t processId() const { return pid; }
    // Waits up to `timeout` for the child to close its streams and end.
    childResult finish(std::chrono::milliseconds timeout);

private:
    // Reads what is available within `timeout`; false once both streams ended.
    bool pump(std::chrono::milliseconds timeout);
    bool takeLine(std::string& from, std::string& line, std::chrono::milliseconds timeout);

    pid_t pid = -1;
    int outFd = -1;
    int errFd = -1;
    std::string out; // standard output not yet taken by readLine
    std::string err;
};

} // namespace testsupport

#endif // TESSERA_TESTS_CHILD_PROCESS_H
