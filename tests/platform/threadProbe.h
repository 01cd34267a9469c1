// Coordinating test threads: gates, collectors and bounded waits.
#ifndef TESSERA_TEST_THREAD_PROBE_H
#define TESSERA_TEST_THREAD_PROBE_H

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace probe {

// Bounds every wait; only reached when something hangs.
constexpr std::chrono::seconds hangLimit{20};

inline pid_t currentTid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// Polls pred (for states that raise no event) until it holds or time runs out.
template <typename Pred>
bool eventually(Pred pred)
{
    auto deadline = std::chrono::steady_clock::now() + hangLimit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The thread sleeps in the kernel (state S), that is in a blocking wait.
inline bool waitUntilAsleep(pid_t tid)
{
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    return eventually([&] {
        std::ifstream stat(path);
        std::string line;
        std::getline(stat, line);
        size_t close = line.rfind(')');
        return close != std::string::npos && line.compare(close, 3, ") S") == 0;
    });
}

// A no-op SIGUSR1 handler without SA_RESTART, so that the signal cuts
// blocking waits short; the previous action comes back afterwards.
struct quietSignal {
    struct sigaction previous;
    quietSignal()
    {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigaction(SIGUSR1, &action, &previous);
    }
    ~quietSignal() { sigaction(SIGUSR1, &previous, nullptr); }
    static void interrupt(pid_t tid) { syscall(SYS_tgkill, getpid(), tid, SIGUSR1); }
};

// Holds back the threads that pass it until it is opened.
class gate {
public:
    void pass()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return isOpen; });
    }
    void open()
    {
        std::lock_guard<std::mutex> lock(mutex);
        isOpen = true;
        changed.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool isOpen = false;
};

// Values gathered from other threads, with a bounded wait for their number.
template <typename V>
class collector {
public:
    void add(V value)
    {
        std::lock_guard<std::mutex> lock(mutex);
        values.push_back(std::move(value));
        changed.notify_all();
    }
    bool waitForCount(size_t n)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, hangLimit, [&] { return values.size() >= n; });
    }
    std::vector<V> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return values;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<V> values;
};

} // namespace probe

#endif // TESSERA_TEST_THREAD_PROBE_H
