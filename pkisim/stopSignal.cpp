#include "stopSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>

namespace pkisim {

stopSignal::stopSignal()
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "pkisim: pipe");
    readEnd = ends[0];
    writeEnd = ends[1];
}

stopSignal::~stopSignal()
{
    close(readEnd);
    close(writeEnd);
}

void stopSignal::raise()
{
    if (up.exchange(true))
        return;
    const char one = 1;
    // The pipe is empty while the signal is down, so this byte always fits.
    [[maybe_unused]] ssize_t n = write(writeEnd, &one, 1);
}

void stopSignal::reset()
{
    char scratch[16];
    while (read(readEnd, scratch, sizeof scratch) > 0) {
    }
    up = false;
}

bool stopSignal::waitFor(int ms) const
{
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    pollfd p{readEnd, POLLIN, 0};
    for (;;) {
        if (raised())
            return true;
        int timeout = -1;
        if (ms >= 0) {
            // Rounded up, so that a wait never ends before its time.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
            if (left.count() <= 0)
                return false;
            timeout = static_cast<int>(left.count());
        }
        if (poll(&p, 1, timeout) < 0 && errno != EINTR)
            return raised();
    }
}

} // namespace pkisim
