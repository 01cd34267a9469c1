#include "session.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent.h"
#include "connection.h"
#include "jsonText.h"
#include "notify.h"
#include "serviceCall.h"
#include "vantService.h"

using pkimid::msgRequest;
using pkimid::msgResponse;

namespace {

constexpr size_t maxCredentialLength = 64;
// A ticket goes with every request; a longer one is not a session ticket.
constexpr size_t maxTicketLength = 64u << 10;

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

// One exchange on the request connection; false, with nothing of `fill`
// done, when it failed. A failed exchange leaves the connection unusable, so
// it is replaced at once.
template <class Call, class Fill>
bool exchange(Call call, Fill fill)
{
    try {
        auto stack = openRequestConnection();
        fill(vant::callService<pkimid::vantServiceClient>(*stack, vantServiceName, call));
        return true;
    } catch (...) {
        renewRequestConnection();
        return false;
    }
}

// A session the library can keep: a ticket it can send with every request,
// and a notification port where notifications can arrive.
bool usableSession(const loginResult& session)
{
    return session.ticket.size() <= maxTicketLength && session.notifyPort > 0 && session.notifyPort <= 65535;
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
    if (!exchange([&](pkimid::vantServiceClient& c, msgResponse& into) { c.login(into, request); },
                  [&](msgResponse& answer) { response = std::move(answer); }))
        return false;

    loginResult session;
    bool accepted = response.errCode == 0 || response.errCode == 6;
    if (!accepted)
        std::puts("login failure.");
    if (!accepted || !parseLoginResponse(response.jsonBody, session.sessionID, session.ticket,
                                         session.timeout, session.notifyPort) ||
        !usableSession(session)) {
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

    const auto ticket = currentTicket();
    if (!exchange([&](pkimid::vantServiceClient& c, msgResponse& into) { c.logout(into, *ticket); },
                  [](msgResponse&) {}))
        return false;

    renewRequestConnection();
    interruptNotifyConnection();
    g_NotifyTranStatus = false;
    return true;
}

// The number a text starts with, as atoi reads it, held to int's range.
int32_t leadingInt(const std::string& text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
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
    timeout = leadingInt(timeoutText);
    notifyPort = leadingInt(portText);
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
