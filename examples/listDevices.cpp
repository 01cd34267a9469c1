// Logs in to the PKI service, lists its devices and logs out.
//
//   list-devices [APP_NAME APP_ID TOKEN]
//
// Without arguments it logs in as the development service's demo application.
#include <cstdio>

#include "tessera.h"

int main(int argc, char** argv)
{
    const char* appName = argc == 4 ? argv[1] : "demo";
    const char* appID = argc == 4 ? argv[2] : "demo-app-id";
    const char* token = argc == 4 ? argv[3] : "demo-token";

    if (!createAgent(nullptr, nullptr, nullptr)) {
        std::fputs("list-devices: the agent could not be set up\n", stderr);
        return 1;
    }
    if (!loginAgent(appName, appID, token)) {
        std::fprintf(stderr, "list-devices: login failed: %s\n", agentLastErrorText());
        releaseAgent();
        return 1;
    }

    vpkiReq req;
    req.msgType = VPKI_DEV_getDevices;
    req.version = 1;
    vpkiResp resp;
    int status = 0;
    if (!reqSync(DEVSERVICE, &req, &resp)) {
        std::fprintf(stderr, "list-devices: the request failed: %s\n", agentLastErrorText());
        status = 1;
    } else if (resp.errCode != VPKI_RESULT_OK) {
        std::fprintf(stderr, "list-devices: the service answered errCode %d: %s\n", resp.errCode,
                     resp.body->getDataString().c_str());
        status = 1;
    } else {
        std::printf("%s\n", resp.body->getDataString().c_str());
    }

    logoutAgent();
    releaseAgent();
    return status;
}
