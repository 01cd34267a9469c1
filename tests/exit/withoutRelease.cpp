// Logs in, leaves work queued and the listener polling, and exits without
// releasing the agent. With the argument "release-in-callback", the response
// callback first tries releaseAgent, which must be refused there and leave
// the agent for the exit to release.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "tessera.h"

namespace {

std::mutex lock;
std::condition_variable refusedSignal;
bool refused = false;

void ignore(void*, vpkiResp*, void*) {}
void ignoreEvent(vpkiResp*, void*) {}

void releaseHere(void*, vpkiResp*, void*)
{
    releaseAgent();
    std::lock_guard<std::mutex> hold(lock);
    refused = agentLastError() == VPKI_ERR_IN_CALLBACK;
    refusedSignal.notify_all();
}

} // namespace

int main(int argc, char** argv)
{
    const bool releaseInCallback = argc > 1 && std::strcmp(argv[1], "release-in-callback") == 0;
    if (!createAgent(&ignoreEvent, releaseInCallback ? &releaseHere : &ignore, nullptr) ||
        !loginAgent("demo", "demo-app-id", "demo-token")) {
        std::fputs("login failed\n", stderr);
        return 2;
    }
    vpkiReq req;
    req.msgType = VPKI_DEV_getDevices;
    for (int i = 0; i < 5; ++i)
        reqAsync(DEVSERVICE, &req, nullptr);
    if (releaseInCallback) {
        std::unique_lock<std::mutex> hold(lock);
        if (!refusedSignal.wait_for(hold, std::chrono::seconds(20), [] { return refused; })) {
            std::fputs("releaseAgent in the callback was not refused\n", stderr);
            return 3;
        }
    }
    return 0;
}
