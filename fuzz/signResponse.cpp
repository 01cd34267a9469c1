// parseSignatureResponse on any text: accepts exactly the JSON objects whose
// signature and length members are strings, hands them over unchanged, and
// leaves its outputs untouched when it refuses.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzzCheck.h"
#include "jsonMembers.h"
#include "skfAdapter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::string untouched = "\x01untouched";
    std::string signature = untouched;
    std::string signLen = untouched;
    const bool accepted = vant::parseSignatureResponse(body, signature, signLen);

    std::vector<std::string> members;
    const bool wellFormed = stringMembers(body, {"strSignature", "strSignLen"}, members);
    require(accepted == wellFormed, "accepted exactly the objects with two string members");
    if (accepted)
        require(signature == members[0] && signLen == members[1], "members handed over unchanged");
    else
        require(signature == untouched && signLen == untouched, "a refusal writes nothing");
    return 0;
}
