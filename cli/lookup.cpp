#include "lookup.h"

#include <cerrno>
#include <cstdlib>

#include "catalogue.h"
#include "exitCodes.h"

namespace cli {
namespace {

const char* const enumeratorNames[] = {"ENROLLSERVICE", "DEVSERVICE", "SIGNXSERVICE", "VMAILSERVICE"};
constexpr int serviceCount = 4;

} // namespace

bool parseNumber(const std::string& word, long long low, long long high, long long& value)
{
    if (word.empty() || word.find_first_not_of("-0123456789") != std::string::npos)
        return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(word.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

int resolveService(const std::string& word)
{
    long long number = 0;
    if (parseNumber(word, 0, serviceCount - 1, number))
        return static_cast<int>(number);
    for (int service = 0; service < serviceCount; ++service)
        if (word == vant::serviceWireName(service) || word == vant::serviceContractName(service) ||
            word == enumeratorNames[service])
            return service;
    throw usageError("unknown service '" + word + "' (try 'tessera methods')");
}

int32_t resolveMethod(int service, const std::string& word)
{
    long long number = 0;
    const int32_t msgType = parseNumber(word, INT32_MIN, INT32_MAX, number)
                                ? static_cast<int32_t>(number)
                                : vant::catalogueMsgType(service, word.c_str());
    if (vant::catalogueMethod(service, msgType) == nullptr)
        throw usageError("service " + std::string(vant::serviceWireName(service)) + " has no method '" + word +
                         "' (try 'tessera methods " + vant::serviceWireName(service) + "')");
    return msgType;
}

} // namespace cli
