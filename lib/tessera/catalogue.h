// The message-type catalogue: which method of which request service a
// (PKI_SERVICE, message type) pair selects, looked up by number or by name.
// Made from the lists of tessera_catalogue.h; numbers the lists do not give
// a service select nothing.
#ifndef TESSERA_LIB_CATALOGUE_H
#define TESSERA_LIB_CATALOGUE_H

#include <cstddef>
#include <cstdint>

namespace vant {

struct catalogueEntry {
    int service; // PKI_SERVICE value
    int32_t msgType;
    const char* method; // wire name of the method, e.g. "getContainerType"
};

// The catalogue, in the order of the lists in tessera_catalogue.h: by
// service, then by message type.
const catalogueEntry* catalogueBegin();
const catalogueEntry* catalogueEnd();

// Multiplexed name of a request service ("deviceOperator" for DEVSERVICE);
// null for a value outside 0..3.
const char* serviceWireName(int service);

// Name of the service in the contract ("devService" for DEVSERVICE); null
// for a value outside 0..3.
const char* serviceContractName(int service);

// Method selected by a message type of a service, or null.
const char* catalogueMethod(int service, int32_t msgType);

// Message type that selects `method` in `service`, or 0 when none does.
int32_t catalogueMsgType(int service, const char* method);

} // namespace vant

#endif // TESSERA_LIB_CATALOGUE_H
