// parseUrl on any text: accepts exactly the JSON objects whose three key
// names are strings, hands them over unchanged, and leaves its outputs
// untouched when it refuses.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzzCheck.h"
#include "jsonMembers.h"
#include "skfAdapter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string url(reinterpret_cast<const char*>(data), size);
    const std::string untouched = "\x01untouched";
    std::string devId = untouched;
    std::string appName = untouched;
    std::string conName = untouched;
    const bool accepted = vant::parseUrl(url, devId, appName, conName);

    std::vector<std::string> names;
    const bool wellFormed = stringMembers(url, {"devId", "applicationName", "containerName"}, names);
    require(accepted == wellFormed, "accepted exactly the objects with three string names");
    if (accepted)
        require(devId == names[0] && appName == names[1] && conName == names[2], "names handed over unchanged");
    else
        require(devId == untouched && appName == untouched && conName == untouched, "a refusal writes nothing");
    return 0;
}
