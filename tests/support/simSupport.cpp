#include "simSupport.h"

namespace testsupport {

pkisim::fault faultOf(pkisim::fault::kind what, const std::string& method)
{
    pkisim::fault f;
    f.what = what;
    f.method = method;
    return f;
}

pkisim::fault replyOf(const std::string& method, int32_t errCode, const std::string& jsonBody)
{
    pkisim::fault f = faultOf(pkisim::fault::reply, method);
    f.errCode = errCode;
    f.jsonBody = jsonBody;
    return f;
}

std::vector<pkisim::recordedCall> requestCalls(pkisim::server& sim)
{
    std::vector<pkisim::recordedCall> found;
    for (const pkisim::recordedCall& call : sim.calls())
        if (call.port == sim.port())
            found.push_back(call);
    return found;
}

std::vector<pkisim::recordedCall> callsNamed(pkisim::server& sim, const std::string& wireName)
{
    std::vector<pkisim::recordedCall> found;
    for (const pkisim::recordedCall& call : sim.calls())
        if (call.wireName == wireName)
            found.push_back(call);
    return found;
}

} // namespace testsupport
