#include "serviceWatch.h"

#include <cstdio>

#include "debugLines.h"
#include "session.h"

namespace cli {

void serviceWatch::probe()
{
    if (stopping || pending.exchange(true))
        return;
    vpkiReq req;
    req.msgType = VPKI_DEV_getDevices;
    if (reqAsync(DEVSERVICE, &req, this) == 0)
        pending = false;
}

void serviceWatch::onProbeAnswer(void*, vpkiResp* resp, void* param)
{
    auto& self = *static_cast<serviceWatch*>(param);
    // The worker has set the thread's last error for this request.
    const int error = agentLastError();
    if (!self.stopping)
        self.judge(error, *resp);
    self.pending = false;
}

void serviceWatch::judge(int error, const vpkiResp& resp)
{
    // A failed request reaches the callback with an empty response; every
    // answer to getDevices has a body.
    if (error != VPKI_OK && resp.body->getSize() == 0) {
        wentAway(agentLastErrorText());
        return;
    }
    if (resp.errCode == VPKI_RESULT_SESSION_LOST) {
        debugLine("the service lost the session; logging in again");
        if (!logIn(login)) {
            wentAway(agentLastErrorText());
            return;
        }
    }
    if (away)
        cameBack();
}

void serviceWatch::wentAway(const char* why)
{
    if (away)
        return;
    away = true;
    std::fprintf(stderr, "tessera: the service went away (%s); waiting for it to come back\n", why);
}

void serviceWatch::cameBack()
{
    away = false;
    std::fprintf(stderr, "tessera: the service is back; watching again\n");
}

} // namespace cli
