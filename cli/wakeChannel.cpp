#include "wakeChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "exitCodes.h"

namespace cli {
namespace {

int pipeEnds[2] = {-1, -1};
struct sigaction previousInt;
struct sigaction previousTerm;
sigset_t previousMask;

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 0;
    (void)!write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

wakeChannel::wakeChannel()
{
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw failure(exitRequestFailed, "cannot create a pipe");
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: the signal must interrupt the waiting read, also where
    // a handler runs only once the interrupted call has returned.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

wakeChannel::~wakeChannel()
{
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void wakeChannel::wake()
{
    onSignal(0);
}

void wakeChannel::wait()
{
    while (!waitFor(-1)) {
    }
}

bool wakeChannel::waitFor(int ms)
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    struct pollfd readable {
        pipeEnds[0], POLLIN, 0
    };
    int ready = poll(&readable, 1, ms);
    // A signal that interrupted the wait has written its byte meanwhile.
    if (ready < 0 && errno == EINTR)
        ready = poll(&readable, 1, 0);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    if (ready <= 0)
        return false;
    char byte;
    while (read(pipeEnds[0], &byte, 1) < 0 && errno == EINTR) {
    }
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return true;
}

} // namespace cli
