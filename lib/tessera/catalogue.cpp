#include "catalogue.h"

#include <cstring>

#include "tessera.h"

namespace vant {
namespace {

// The methods that a message type selects, from the lists of tessera_catalogue.h.
#define TESSERA_ENTRY(service, method, msgType) {service##SERVICE, msgType, #method},
#define TESSERA_NO_ENTRY(service, method)
const catalogueEntry entries[] = {VPKI_METHODS(TESSERA_ENTRY, TESSERA_NO_ENTRY)};
#undef TESSERA_NO_ENTRY
#undef TESSERA_ENTRY

struct serviceNames {
    const char* wire;
    const char* contract;
};

const serviceNames names[] = {
    {"enrollPlugin", "enRollService"},
    {"deviceOperator", "devService"},
    {"signxPlugin", "signXService"},
    {"vmailPlugin", "vmailService"},
};

bool knownService(int service)
{
    return service >= 0 && service < static_cast<int>(sizeof names / sizeof names[0]);
}

} // namespace

const catalogueEntry* catalogueBegin()
{
    return entries;
}

const catalogueEntry* catalogueEnd()
{
    return entries + sizeof entries / sizeof entries[0];
}

const char* serviceWireName(int service)
{
    return knownService(service) ? names[service].wire : nullptr;
}

const char* serviceContractName(int service)
{
    return knownService(service) ? names[service].contract : nullptr;
}

const char* catalogueMethod(int service, int32_t msgType)
{
    for (const catalogueEntry* e = catalogueBegin(); e != catalogueEnd(); ++e)
        if (e->service == service && e->msgType == msgType)
            return e->method;
    return nullptr;
}

int32_t catalogueMsgType(int service, const char* method)
{
    if (method == nullptr)
        return 0;
    for (const catalogueEntry* e = catalogueBegin(); e != catalogueEnd(); ++e)
        if (e->service == service && std::strcmp(e->method, method) == 0)
            return e->msgType;
    return 0;
}

} // namespace vant
