/*
 * The PKI service's devices from C: all of them, or one device's details.
 *
 *   list-devices-c [DEVID]
 *
 * Logs in as the development service's demo application. What a C program
 * does differently from C++: it zeroes the request and response records, so
 * that their body pointers are null and the text fields alone carry the
 * texts (a response then holds the first 8191 characters of the answer).
 * When a call fails, agentLastError and agentLastErrorText say why.
 */
#include <stdio.h>
#include <string.h>

#include <tessera.h>

/* Reports why the calling thread's last call of the library failed. */
static int failed(const char* call)
{
    fprintf(stderr, "list-devices-c: %s failed: %s (%s)\n", call, agentErrorString(agentLastError()),
            agentLastErrorText());
    return 1;
}

/* The request for the device list, or for one device's details. */
static int prepare(vpkiReq* req, const char* devID)
{
    req->version = 1;
    if (devID == NULL) {
        req->msgType = VPKI_DEV_getDevices;
        return 0;
    }
    req->msgType = VPKI_DEV_getDevInfo;
    /* Device ids hold letters, digits, '.', '_' and '-'; a text with a quote or backslash is none. */
    if (strcspn(devID, "\"\\") != strlen(devID) ||
        snprintf(req->jsonBody, sizeof req->jsonBody, "{\"devID\":\"%s\"}", devID) >= (int)sizeof req->jsonBody) {
        fprintf(stderr, "list-devices-c: not a device id: %s\n", devID);
        return 1;
    }
    return 0;
}

static int ask(const vpkiReq* req)
{
    vpkiResp resp = {0};
    if (!reqSync(DEVSERVICE, req, &resp))
        return failed("reqSync");
    if (resp.errCode != VPKI_RESULT_OK) {
        fprintf(stderr, "list-devices-c: the service answered errCode %d: %s\n", (int)resp.errCode, resp.jsonBody);
        return 1;
    }
    puts(resp.jsonBody);
    return 0;
}

int main(int argc, char** argv)
{
    vpkiReq req = {0};
    int status;

    if (argc > 2) {
        fputs("usage: list-devices-c [DEVID]\n", stderr);
        return 2;
    }
    if (prepare(&req, argc == 2 ? argv[1] : NULL) != 0)
        return 2;
    if (!createAgent(NULL, NULL, NULL))
        return failed("createAgent");
    if (!loginAgent("demo", "demo-app-id", "demo-token")) {
        status = failed("loginAgent");
        releaseAgent();
        return status;
    }
    status = ask(&req);
    logoutAgent();
    releaseAgent();
    return status;
}
