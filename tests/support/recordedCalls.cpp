#include "recordedCalls.h"

namespace testsupport {

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
