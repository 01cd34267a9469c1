// parseLoginResponse on any text: accepts exactly the JSON objects whose
// four members are strings, the three numbers wholly decimal digits within
// their ranges, and then hands over the values unchanged.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzzCheck.h"
#include "jsonMembers.h"
#include "session.h"

namespace {

// The reference reading of a number member: digits only, from low to high.
bool decimalIn(const std::string& text, uint64_t low, uint64_t high, uint64_t& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    unsigned __int128 sum = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        sum = sum * 10 + static_cast<unsigned>(c - '0');
    }
    if (sum < low || sum > high)
        return false;
    value = static_cast<uint64_t>(sum);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    int64_t sessionID = -1;
    std::string ticket = "untouched";
    int32_t timeout = -1;
    int32_t notifyPort = -1;
    const bool accepted = parseLoginResponse(body, sessionID, ticket, timeout, notifyPort);

    std::vector<std::string> members;
    uint64_t id = 0;
    uint64_t seconds = 0;
    uint64_t port = 0;
    const bool wellFormed = stringMembers(body, {"sessionID", "ticket", "timeout", "notifyPort"}, members) &&
                            decimalIn(members[0], 0, INT64_MAX, id) &&
                            decimalIn(members[2], 1, maxSessionTimeout, seconds) &&
                            decimalIn(members[3], 1, 65535, port);
    require(accepted == wellFormed, "accepted exactly the objects with four string members and sound numbers");
    if (accepted) {
        require(ticket == members[1], "the ticket is handed over unchanged");
        require(static_cast<uint64_t>(sessionID) == id && static_cast<uint64_t>(timeout) == seconds &&
                    static_cast<uint64_t>(notifyPort) == port,
                "the numbers are read as written");
    } else {
        require(sessionID == -1 && ticket == "untouched" && timeout == -1 && notifyPort == -1, "nothing written");
    }
    return 0;
}
