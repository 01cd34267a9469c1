// Uses the agent fully (two createAgent calls, a login, synchronous and
// asynchronous requests, the listener) twice over, and checks after each
// releaseAgent that the process has the threads and descriptors it had
// before createAgent; a second createAgent adds no thread. Exits 0 when so.
#include <dirent.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "tessera.h"

namespace {

// Entries of a /proc/self folder: descriptors (sockets among them) or threads.
int entries(const char* folder)
{
    DIR* dir = opendir(folder);
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (dirent* entry = readdir(dir))
        count += entry->d_name[0] != '.';
    closedir(dir);
    return count;
}

// The ids of the process's threads.
std::set<std::string> threadIds()
{
    std::set<std::string> ids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ids.insert(entry->d_name);
        closedir(dir);
    }
    return ids;
}

// How many threads the process has that it did not have before. A joined
// thread has finished its work, but the kernel may list it a moment longer
// while it takes the thread down; a thread that still runs stays listed past
// the deadline.
size_t threadsAdded(const std::set<std::string>& before)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        size_t added = 0;
        for (const std::string& id : threadIds())
            added += before.count(id) == 0;
        if (added == 0 || std::chrono::steady_clock::now() >= deadline)
            return added;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::mutex lock;
std::condition_variable answeredSignal;
bool answered = false;

void onAnswer(void*, vpkiResp*, void*)
{
    std::lock_guard<std::mutex> hold(lock);
    answered = true;
    answeredSignal.notify_all();
}

bool useTheAgent()
{
    if (!createAgent(nullptr, &onAnswer, nullptr))
        return false;
    const int threadsAfterOne = entries("/proc/self/task");
    if (!createAgent(nullptr, &onAnswer, nullptr) || entries("/proc/self/task") != threadsAfterOne) {
        std::fprintf(stderr, "a second createAgent added a thread\n");
        return false;
    }
    if (!loginAgent("demo", "demo-app-id", "demo-token"))
        return false;
    vpkiReq req;
    req.msgType = VPKI_DEV_getDevices;
    vpkiResp resp;
    answered = false;
    if (!reqSync(DEVSERVICE, &req, &resp) || reqAsync(DEVSERVICE, &req, nullptr) == 0)
        return false;
    std::unique_lock<std::mutex> hold(lock);
    return answeredSignal.wait_for(hold, std::chrono::seconds(20), [] { return answered; });
}

} // namespace

int main()
{
    // Sanitizers start a thread of their own with the first one the program
    // starts: it is there before the count.
    std::thread([] {}).join();
    const std::set<std::string> threads = threadIds();
    const int descriptors = entries("/proc/self/fd");
    for (int round = 1; round <= 2; ++round) {
        if (!useTheAgent()) {
            std::fprintf(stderr, "round %d: the agent failed: %s\n", round, agentLastErrorText());
            return 2;
        }
        releaseAgent();
        const size_t threadsLeft = threadsAdded(threads);
        const int descriptorsLeft = entries("/proc/self/fd");
        if (threadsLeft != 0 || descriptorsLeft != descriptors) {
            std::fprintf(stderr, "round %d: %zu threads left after release; %d descriptors before, %d after\n", round,
                         threadsLeft, descriptors, descriptorsLeft);
            return 1;
        }
    }
    return 0;
}
