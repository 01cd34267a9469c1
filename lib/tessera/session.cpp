#include "session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent.h"
#include "connection.h"
#include "jsonText.h"
#include "notify.h"
#include "vantService.h"

using pkimid::msgRequest;
using pkimid::msgResponse;

namespace {

constexpr size_t maxCredentialLength = 64;

struct loginResult {
    int64_t sessionID = 0;
    std::string ticket;
    int32_t timeout = 0;
    int32_t notifyPort = 0;
};

bool validCredential(const char* value)
{
    return value != nullptr && strnlen(value, maxCredentialLength + 1) <= maxCredentialLength;
}

// One exchange on the request connection. A failed exchange leaves the
// connection unusable, so it is replaced at once.
template <class Call>
bool exchange(Call call)
{
    try {
        auto stack = openRequestConnection();
        pkimid::vantServiceClient client(stack->protocol(vantServiceName));
        call(client);
        return true;
    } catch (...) {
        renewRequestConnection();
        return false;
    }
}

void storeSession(const loginResult& session, const char* appName, const char* appID,
                  const char* token)
{
    storeTicket(session.sessionID, session.ticket);
    g_SessionTimeOut = session.timeout;
    g_notifyPort = static_cast<uint16_t>(session.notifyPort);
    g_strAppName = appName;
    g_strAppID = appID;
    g_strToken = token;
}

// A login may report another port or time-out than the connection was built
// for (the service restarted with other settings): build it anew then too.
bool bringUpNotifications()
{
    if (!g_NotifyTranStatus || !notifyConnectionMatches(g_notifyPort, g_SessionTimeOut)) {
        if (!createNotifyTrans(g_notifyPort, g_SessionTimeOut))
            return false;
        g_NotifyTranStatus = true;
    }
    return ensureListener();
}

bool login(const char* appName, const char* appID, const char* token)
{
    vant::tLockHelper hold(&g_reqLocker, true);
    if (!g_bCreated || !validCredential(appName) || !validCredential(appID) || !validCredential(token))
        return false;

    msgRequest request;
    request.reqid = getReqidx();
    request.msgType = pkimid::enMsgType::enMsg_Login;
    request.version = 1;
    request.extend = 0;
    request.jsonBody = makeLoginText(appName, appID, token);

    msgResponse response;
    if (!exchange([&](pkimid::vantServiceClient& c) { c.login(response, request); }))
        return false;

    loginResult session;
    bool accepted = response.errCode == 0 || response.errCode == 6;
    if (!accepted)
        std::puts("login failure.");
    if (!accepted || !parseLoginResponse(response.jsonBody, session.sessionID, session.ticket,
                                         session.timeout, session.notifyPort)) {
        renewRequestConnection();
        return false;
    }

    storeSession(session, appName, appID, token);
    g_bRunning = true;
    bool up = bringUpNotifications();
    renewRequestConnection();
    return up;
}

bool logout()
{
    vant::tLockHelper hold(&g_reqLocker, true);
    if (!g_bCreated)
        return false;
    g_bRunning = false;
    wakeListener();

    pkimid::sessionTicket ticket = currentTicket();
    msgResponse response;
    if (!exchange([&](pkimid::vantServiceClient& c) { c.logout(response, ticket); }))
        return false;

    renewRequestConnection();
    interruptNotifyConnection();
    g_NotifyTranStatus = false;
    return true;
}

} // namespace

std::string makeLoginText(const char* appName, const char* appID, const char* token)
{
    return "{\"appName\":" + vant::jsonQuote(appName) + ",\"appID\":" + vant::jsonQuote(appID) +
           ",\"token\":" + vant::jsonQuote(token) + "}";
}

bool parseLoginResponse(const std::string& body, int64_t& sessionID, std::string& ticket,
                        int32_t& timeout, int32_t& notifyPort)
{
    std::string sessionText;
    std::string timeoutText;
    std::string portText;
    if (!vant::readStringMembers(body, {{"sessionID", &sessionText}, {"ticket", &ticket},
                                        {"timeout", &timeoutText}, {"notifyPort", &portText}}))
        return false;
    sessionID = std::strtoll(sessionText.c_str(), nullptr, 10);
    timeout = std::atoi(timeoutText.c_str());
    notifyPort = std::atoi(portText.c_str());
    return true;
}

void reloginAgent()
{
    vant::tLockHelper hold(&g_reqLocker, true);
    if (!g_bRunning)
        return;
    // Copies: loginAgent stores the credentials it is given.
    const std::string appName = g_strAppName;
    const std::string appID = g_strAppID;
    const std::string token = g_strToken;
    loginAgent(appName.c_str(), appID.c_str(), token.c_str());
}

extern "C" {

bool loginAgent(const char* appName, const char* appID, const char* token)
{
    try {
        return login(appName, appID, token);
    } catch (...) {
        return false;
    }
}

bool logoutAgent(void)
{
    try {
        return logout();
    } catch (...) {
        return false;
    }
}

} // extern "C"
