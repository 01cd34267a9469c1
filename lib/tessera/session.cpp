#include "session.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "jsonText.h"
#include "lastError.h"
#include "log.h"
#include "recordTransfer.h"
#include "serviceCall.h"
#include "tessera.h"
#include "vantService.h"

using pkimid::msgRequest;
using pkimid::msgResponse;

namespace vant {

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

// `use(lease)` on a request connection; false, with the reason recorded,
// when none can be had.
template <class Use>
bool onConnection(requestChannels& channels, Use use)
{
    try {
        requestChannels::lease lease = channels.acquire();
        return use(lease);
    } catch (...) {
        setLastErrorFromException();
        return false;
    }
}

// A refused login has always been told on standard output; once the
// application set a log callback, the line goes there instead, so that the
// application alone decides what reaches its output.
void reportRefusedLogin()
{
    if (logging())
        logLine("login failure.");
    else
        std::puts("login failure.");
}

// One exchange of vantService; false, with nothing of `fill` done and the
// reason recorded, when it failed. A failed exchange leaves the connection
// unusable, so it is replaced at once.
template <class Call, class Fill>
bool exchange(requestChannels::lease& lease, Call call, Fill fill)
{
    try {
        fill(callService<pkimid::vantServiceClient>(lease.open(), vantServiceName, call));
        return true;
    } catch (...) {
        setLastErrorFromException();
        lease.renew();
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

msgRequest loginRequest(const char* appName, const char* appID, const char* token)
{
    msgRequest request;
    request.reqid = getReqidx();
    request.msgType = pkimid::enMsgType::enMsg_Login;
    request.version = 1;
    request.extend = 0;
    request.jsonBody = makeLoginText(appName, appID, token);
    return request;
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

bool session::login(const char* appName, const char* appID, const char* token)
{
    if (const char* why = badCredentials(appName, appID, token)) {
        setLastError(VPKI_ERR_BAD_ARGUMENT, why);
        return false;
    }
    std::unique_lock<rankedMutex> held(loginLock);
    return login(held, credentials{appName, appID, token});
}

bool session::login(std::unique_lock<rankedMutex>& held, const credentials& given)
{
    const msgRequest request = loginRequest(given.appName.c_str(), given.appID.c_str(), given.token.c_str());
    return onConnection(channels, [&](requestChannels::lease& lease) {
        msgResponse response;
        if (!exchange(
                lease, [&](pkimid::vantServiceClient& c, msgResponse& into) { c.login(into, request); },
                [&](msgResponse& answer) { response = std::move(answer); }))
            return false;
        // The connection that carried a login starts anew either way.
        lease.renew();
        if (response.errCode != VPKI_RESULT_OK && response.errCode != VPKI_RESULT_LOGIN_ACCEPTED) {
            reportRefusedLogin();
            setLastError(VPKI_ERR_LOGIN_REFUSED, "login refused: errCode " + std::to_string(response.errCode));
            return false;
        }
        loginResult accepted;
        if (const char* why = unusableSession(response, accepted)) {
            setLastError(VPKI_ERR_DAMAGED_REPLY, std::string("damaged reply: ") + why);
            return false;
        }
        store(held, given, accepted.sessionID, accepted.ticket,
              {static_cast<uint16_t>(accepted.notifyPort), accepted.timeout});
        running = true;
        return true;
    });
}

void session::store(std::unique_lock<rankedMutex>&, const credentials& given, int64_t sessionID,
                    const std::string& newTicket, endpoint at)
{
    auto fresh = std::make_shared<pkimid::sessionTicket>();
    fresh->sessionID = sessionID;
    fresh->ticket = newTicket;
    {
        std::lock_guard<rankedMutex> hold(ticketLock);
        current = std::move(fresh);
    }
    last = given;
    reported = at;
}

bool session::relogin()
{
    std::unique_lock<rankedMutex> held(loginLock);
    if (!running)
        return false;
    const credentials again = last; // login stores what it is given
    return login(held, again);
}

bool session::logout()
{
    // Requests are refused from this moment: those waiting for a connection
    // find the session ended when they get one, and queued ones reach their
    // callback empty.
    running = false;
    std::unique_lock<rankedMutex> held(loginLock);
    // A login that held the lock meanwhile has been overtaken by this logout.
    running = false;
    const auto sent = ticket();
    return onConnection(channels, [&](requestChannels::lease& lease) {
        if (!exchange(
                lease, [&](pkimid::vantServiceClient& c, msgResponse& into) { c.logout(into, *sent); },
                [](msgResponse&) {}))
            return false;
        lease.renew();
        return true;
    });
}

std::shared_ptr<const pkimid::sessionTicket> session::ticket() const
{
    std::lock_guard<rankedMutex> hold(ticketLock);
    return current ? current : std::make_shared<const pkimid::sessionTicket>();
}

session::endpoint session::notifications() const
{
    std::lock_guard<rankedMutex> hold(loginLock);
    return reported;
}

} // namespace vant

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
    if (!vant::wholeDecimal(sessionText, 0, INT64_MAX, id) ||
        !vant::wholeDecimal(timeoutText, 1, maxSessionTimeout, seconds) ||
        !vant::wholeDecimal(portText, 1, 65535, port))
        return false;
    sessionID = static_cast<int64_t>(id);
    ticket = std::move(ticketText);
    timeout = static_cast<int32_t>(seconds);
    notifyPort = static_cast<int32_t>(port);
    return true;
}
