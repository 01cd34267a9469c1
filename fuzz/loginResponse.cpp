// parseLoginResponse on any text: accepts exactly the JSON objects whose
// four members are strings, and then hands over the ticket unchanged.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzzCheck.h"
#include "jsonMembers.h"
#include "session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    int64_t sessionID = 0;
    std::string ticket;
    int32_t timeout = 0;
    int32_t notifyPort = 0;
    const bool accepted = parseLoginResponse(body, sessionID, ticket, timeout, notifyPort);

    std::vector<std::string> members;
    const bool wellFormed = stringMembers(body, {"sessionID", "ticket", "timeout", "notifyPort"}, members);
    require(accepted == wellFormed, "accepted exactly the objects with four string members");
    if (accepted)
        require(ticket == members[1], "the ticket is handed over unchanged");
    return 0;
}
