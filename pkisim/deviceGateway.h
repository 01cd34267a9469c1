// The four request services: every call with a valid ticket goes to the
// simulated devices.
#ifndef PKISIM_DEVICE_GATEWAY_H
#define PKISIM_DEVICE_GATEWAY_H

#include <string>

#include "deviceStore.h"
#include "eventLog.h"
#include "rpcCodec.h"
#include "sessionTable.h"

namespace pkisim {

class deviceGateway {
public:
    deviceGateway(deviceStore& devices, sessionTable& sessions, eventLog& events);
    deviceGateway(const deviceGateway&) = delete;
    deviceGateway& operator=(const deviceGateway&) = delete;

    wire::msgResponse call(const std::string& service, const std::string& method, const wire::sessionTicket& ticket,
                           const wire::msgRequest& request);

private:
    void announceRelabel(const std::string& requestBody);

    deviceStore& devices;
    sessionTable& sessions;
    eventLog& events;
};

} // namespace pkisim

#endif // PKISIM_DEVICE_GATEWAY_H
