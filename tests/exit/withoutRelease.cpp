// Logs in, leaves work queued and the listener polling, and exits without
// releasing the agent.
#include <cstdio>

#include "tessera.h"

static void ignore(void*, vpkiResp*, void*) {}
static void ignoreEvent(vpkiResp*, void*) {}

int main()
{
    if (!createAgent(&ignoreEvent, &ignore, nullptr) || !loginAgent("demo", "demo-app-id", "demo-token")) {
        std::fputs("login failed\n", stderr);
        return 2;
    }
    vpkiReq req;
    req.msgType = VPKI_DEV_getDevices;
    for (int i = 0; i < 5; ++i)
        reqAsync(DEVSERVICE, &req, nullptr);
    return 0;
}
