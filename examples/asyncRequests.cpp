// Queues several requests at once with reqAsync and matches each answer to
// its request by the id that reqAsync returned (vpkiAsyncReqId in the
// response callback, which runs on the library's worker thread).
//
//   async-requests
//
// Logs in as the development service's demo application; prints one line per
// answer, "id N: errCode E: TEXT", in the order the ids were handed out.
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "tessera.h"

namespace {

struct answers {
    std::mutex lock;
    std::condition_variable arrived;
    std::map<int32_t, std::string> byId; // id -> "errCode E: TEXT"
};

void onResponse(void* msg, vpkiResp* resp, void* param)
{
    auto& all = *static_cast<answers*>(param);
    const std::string text = agentLastError() == VPKI_OK
                                 ? "errCode " + std::to_string(resp->errCode) + ": " + resp->body->getDataString()
                                 : std::string("failed: ") + agentLastErrorText();
    std::lock_guard<std::mutex> hold(all.lock);
    all.byId[vpkiAsyncReqId(msg)] = text;
    all.arrived.notify_all();
}

int32_t queue(int32_t msgType, const char* body, answers& all)
{
    vpkiReq req;
    req.msgType = msgType;
    req.version = 1;
    std::snprintf(req.jsonBody, sizeof req.jsonBody, "%s", body);
    // reqAsync copies the request: the record may go right away.
    return reqAsync(DEVSERVICE, &req, &all);
}

} // namespace

int main()
{
    answers all;
    if (!createAgent(nullptr, onResponse, nullptr) || !loginAgent("demo", "demo-app-id", "demo-token")) {
        std::fprintf(stderr, "async-requests: %s\n", agentLastErrorText());
        releaseAgent();
        return 1;
    }
    const int32_t ids[] = {
        queue(VPKI_DEV_getDevices, "{}", all),
        queue(VPKI_DEV_getDevInfo, "{\"devID\":\"SIM-RSA-01\"}", all),
        queue(VPKI_DEV_getDevInfo, "{\"devID\":\"SIM-ECC-01\"}", all),
    };
    int status = 0;
    {
        std::unique_lock<std::mutex> held(all.lock);
        all.arrived.wait(held, [&] { return all.byId.size() == sizeof ids / sizeof ids[0]; });
        for (int32_t id : ids) {
            std::printf("id %d: %s\n", id, all.byId[id].c_str());
            status = all.byId[id].rfind("errCode 0:", 0) == 0 ? status : 1;
        }
    }
    logoutAgent();
    releaseAgent();
    return status;
}
