// PINs: each application has an administrator and a user PIN with retry
// counters; wrong PINs count down, the last retry locks, and the
// administrator PIN unlocks the user PIN.
#include "deviceOps.h"

namespace pkisim {
namespace ops {
namespace {

using json = nlohmann::json;

pinKind requestedPinKind(const request& req)
{
    return static_cast<pinKind>(intMember(req.body, "pinType", 0, 1));
}

// Throws the matching error unless `candidate` is the PIN.
void requirePin(pinState& pin, const std::string& candidate)
{
    pinCheck result = checkPin(pin, candidate);
    json retries = {{"remainRetryCount", pin.remainingRetries}};
    if (result == pinCheck::locked)
        throw requestError(errCode::pinLocked, "PIN locked", retries);
    if (result == pinCheck::incorrect)
        throw requestError(errCode::pinIncorrect, "PIN incorrect", retries);
}

} // namespace

json getPINInfo(const request& req)
{
    pinKind kind = requestedPinKind(req);
    const pinState& pin = requestedApp(req).pin(kind);
    return {{"pinType", static_cast<int>(kind)},
            {"maxRetryCount", pin.maxRetries},
            {"remainRetryCount", pin.remainingRetries},
            {"defaultPin", pin.isDefault}};
}

json verifyPIN(const request& req)
{
    pinKind kind = requestedPinKind(req);
    pinState& pin = requestedApp(req).pin(kind);
    requirePin(pin, stringMember(req.body, "pin"));
    return {{"verified", true}};
}

json changePIN(const request& req)
{
    pinKind kind = requestedPinKind(req);
    pinState& pin = requestedApp(req).pin(kind);
    const std::string& oldPin = stringMember(req.body, "oldPin");
    const std::string& newPin = newPinMember(req.body, "newPin");
    requirePin(pin, oldPin);
    pin.value = newPin;
    pin.isDefault = false;
    return json::object();
}

json unlockPIN(const request& req)
{
    application& app = requestedApp(req);
    const std::string& adminPin = stringMember(req.body, "adminPin");
    const std::string& newUserPin = newPinMember(req.body, "newUserPin");
    requirePin(app.adminPin, adminPin);
    app.userPin.value = newUserPin;
    app.userPin.remainingRetries = app.userPin.maxRetries;
    app.userPin.isDefault = false;
    return json::object();
}

} // namespace ops
} // namespace pkisim
