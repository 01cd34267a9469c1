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
        std::fputs("list-devices: login failed (is the service running on 127.0.0.1:18080?)\n", stderr);
        releaseAgent();
        return 1;
    }

    vpkiReq req;
    req.msgType = 16;  // devService: getDevices
    req.version = 1;
    vpkiResp resp;
    int status = 0;
    if (!reqSync(DEVSERVICE, &req, &resp)) {
        std::fputs("list-devices: the request failed\n", stderr);
        status = 1;
    } else if (resp.errCode != 0) {
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
