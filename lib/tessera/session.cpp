#include "session.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "agent.h"
#include "callbackScope.h"
#include "connection.h"
#include "jsonText.h"
#include "lastError.h"
#include "log.h"
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
// done and the reason recorded, when it failed. A failed exchange leaves the
// connection unusable, so it is replaced at once.
template <class Call, class Fill>
bool exchange(Call call, Fill fill)
{
    try {
        auto stack = openRequestConnection();
        fill(vant::callService<pkimid::vantServiceClient>(*stack, vantServiceName, call));
        return true;
    } catch (...) {
        vant::setLastErrorFromException();
        renewRequestConnection();
        return false;
    }
}

// Why an accepted login carries no session the library can keep (a ticket
// it can send with every request, a port where notifications can arrive),
// or null.
const char* unusableSession(const msgResponse& response, loginResult& session)
{
    if (!parseLoginResponse(response.jsonBody, session.sessionID, session.ticket, session.timeout, session.notifyPort))
        return "the login answer lacks a decimal sessionID, a ticket, a timeout of 1 to 86400 seconds or a "
               "notifyPort of 1 to 65535";
    if (session.ticket.size() > maxTicketLength)
        return "the login answer's ticket is longer than 64 KiB";
    return nullptr;
}

void storeSession(const loginResult& session, const char* appName, const char* appID, const char* token)
{
    vant::agent& self = vant::theAgent();
    storeTicket(session.sessionID, session.ticket);
    self.sessionTimeout = session.timeout;
    self.notifyPort = static_cast<uint16_t>(session.notifyPort);
    self.appName = appName;
    self.appID = appID;
    self.token = token;
}

// A login may report another port or time-out than the connection was built
// for (the service restarted with other settings): build it anew then too.
bool bringUpNotifications()
{
    vant::agent& self = vant::theAgent();
    if (!notifyConnectionMatches(self.notifyPort, self.sessionTimeout))
        createNotifyTrans(self.notifyPort, self.sessionTimeout);
    if (ensureListener(reloginAgent))
        return true;
    vant::setLastError(VPKI_ERR_NO_RESOURCES, "cannot start the notification thread");
    return false;
}

// Why the credentials cannot be sent, or null.
const char* badCredentials(const char* appName, const char* appID, const char* token)
{
    if (!validCredential(appName))
        return "appName is null or longer than 64 characters";
    if (!validCredential(appID))
        return "appID is null or longer than 64 characters";
    if (!validCredential(token))
        return "token is null or longer than 64 characters";
    return nullptr;
}

bool login(const char* appName, const char* appID, const char* token)
{
    vant::agent& self = vant::theAgent();
    vant::tLockHelper hold(&self.requestLock, true);
    if (!self.created) {
        vant::setLastError(VPKI_ERR_NOT_CREATED, "no agent: createAgent has not been called");
        return false;
    }
    if (const char* why = badCredentials(appName, appID, token)) {
        vant::setLastError(VPKI_ERR_BAD_ARGUMENT, why);
        return false;
    }

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

    if (response.errCode != VPKI_RESULT_OK && response.errCode != VPKI_RESULT_LOGIN_ACCEPTED) {
        std::puts("login failure.");
        vant::setLastError(VPKI_ERR_LOGIN_REFUSED, "login refused: errCode " + std::to_string(response.errCode));
        renewRequestConnection();
        return false;
    }
    loginResult session;
    if (const char* why = unusableSession(response, session)) {
        vant::setLastError(VPKI_ERR_DAMAGED_REPLY, std::string("damaged reply: ") + why);
        renewRequestConnection();
        return false;
    }

    storeSession(session, appName, appID, token);
    self.running = true;
    bool up = bringUpNotifications();
    renewRequestConnection();
    return up;
}

bool logout()
{
    vant::agent& self = vant::theAgent();
    if (!self.created) {
        vant::setLastError(VPKI_ERR_NOT_CREATED, "no agent: createAgent has not been called");
        return false;
    }
    // Requests are refused from this moment: those waiting for the request
    // lock find the session ended when they get it, and queued ones reach
    // their callback empty.
    self.running = false;
    wakeListener();
    vant::tLockHelper hold(&self.requestLock, true);
    // A login that held the lock meanwhile has been overtaken by this logout.
    self.running = false;

    const auto ticket = currentTicket();
    if (!exchange([&](pkimid::vantServiceClient& c, msgResponse& into) { c.logout(into, *ticket); },
                  [](msgResponse&) {}))
        return false;

    renewRequestConnection();
    dropNotifyConnection();
    return true;
}

// A text that is wholly a decimal number from `low` to `high`: digits only,
// no sign, no spaces, nothing after them.
bool wholeDecimal(const std::string& text, uint64_t low, uint64_t high, uint64_t& value)
{
    const char* const end = text.data() + text.size();
    uint64_t read = 0;
    const auto [stop, error] = std::from_chars(text.data(), end, read);
    if (text.empty() || error != std::errc() || stop != end || read < low || read > high)
        return false;
    value = read;
    return true;
}

} // namespace

std::string makeLoginText(const char* appName, const char* appID, const char* token)
{
    return "{\"appName\":" + vant::jsonQuote(appName) + ",\"appID\":" + vant::jsonQuote(appID) +
           ",\"token\":" + vant::jsonQuote(token) + "}";
}

bool parseLoginResponse(const std::string& body, int64_t& sessionID, std::string& ticket, int32_t& timeout,
                        int32_t& notifyPort)
{
    std::string sessionText;
    std::string timeoutText;
    std::string portText;
    std::string ticketText;
    if (!vant::readStringMembers(body, {{"sessionID", &sessionText},
                                        {"ticket", &ticketText},
                                        {"timeout", &timeoutText},
                                        {"notifyPort", &portText}}))
        return false;
    uint64_t id;
    uint64_t seconds;
    uint64_t port;
    if (!wholeDecimal(sessionText, 0, INT64_MAX, id) || !wholeDecimal(timeoutText, 1, maxSessionTimeout, seconds) ||
        !wholeDecimal(portText, 1, 65535, port))
        return false;
    sessionID = static_cast<int64_t>(id);
    ticket = std::move(ticketText);
    timeout = static_cast<int32_t>(seconds);
    notifyPort = static_cast<int32_t>(port);
    return true;
}

void reloginAgent()
{
    vant::agent& self = vant::theAgent();
    vant::tLockHelper hold(&self.requestLock, true);
    if (!self.running)
        return;
    // Copies: loginAgent stores the credentials it is given.
    const std::string appName = self.appName;
    const std::string appID = self.appID;
    const std::string token = self.token;
    const bool ok = loginAgent(appName.c_str(), appID.c_str(), token.c_str());
    vant::logLine("automatic login after the session was lost: %s", ok ? "ok" : vant::lastErrorText());
}

extern "C" {

bool loginAgent(const char* appName, const char* appID, const char* token)
{
    if (vant::refusedInCallback("loginAgent", false))
        return false;
    vant::clearLastError();
    try {
        return login(appName, appID, token);
    } catch (...) {
        vant::setLastErrorFromException();
        return false;
    }
}

bool logoutAgent(void)
{
    if (vant::refusedInCallback("logoutAgent", false))
        return false;
    vant::clearLastError();
    try {
        return logout();
    } catch (...) {
        vant::setLastErrorFromException();
        return false;
    }
}

} // extern "C"
