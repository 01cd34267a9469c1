// The lists of tessera_catalogue.h against the generated contract. This unit
// holds no code: it compiles only when the lists name every method of each
// request service and nothing else, and when the notification types are the
// contract's enMsgType values. A method added to a .thrift file without its
// line in the list (or the other way round) stops the build here.
#include <type_traits>

#include "commdef_types.h"
#include "devService.h"
#include "enRollService.h"
#include "recordTransfer.h"
#include "signXService.h"
#include "vmailService.h"

namespace {

#define TESSERA_OVERRIDE(method) \
    void method(pkimid::msgResponse&, const pkimid::sessionTicket&, const pkimid::msgRequest&) override {}
#define TESSERA_ROUTED(service, method, msgType) TESSERA_OVERRIDE(method)
#define TESSERA_UNROUTED(service, method) TESSERA_OVERRIDE(method)

// A class that overrides exactly the listed methods compiles only when each
// is a method of the interface, and is concrete only when none is missing.
#define TESSERA_CHECK_SERVICE(interface, methods)         \
    struct interface##Listed : pkimid::interface {        \
        methods(TESSERA_ROUTED, TESSERA_UNROUTED)         \
    };                                                    \
    static_assert(!std::is_abstract_v<interface##Listed>, \
                  "a method of " #interface " is missing from " #methods " in tessera_catalogue.h");

TESSERA_CHECK_SERVICE(enRollServiceIf, VPKI_METHODS_ENROLL)
TESSERA_CHECK_SERVICE(devServiceIf, VPKI_METHODS_DEV)
TESSERA_CHECK_SERVICE(signXServiceIf, VPKI_METHODS_SIGNX)
TESSERA_CHECK_SERVICE(vmailServiceIf, VPKI_METHODS_VMAIL)

#define TESSERA_CHECK_NOTIFICATION(name, msgType, contractName, meaning)           \
    static_assert(int{VPKI_NOTIFY_##name} == int{pkimid::enMsgType::contractName}, \
                  "VPKI_NOTIFY_" #name " differs from enMsgType::" #contractName);

VPKI_NOTIFICATIONS(TESSERA_CHECK_NOTIFICATION)

} // namespace
