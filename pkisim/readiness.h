// Tells a service manager how the service is doing: a datagram such as
// "READY=1" to the unix socket that the NOTIFY_SOCKET environment variable
// names (a name starting with '@' is an abstract socket name).
#ifndef PKISIM_READINESS_H
#define PKISIM_READINESS_H

#include <string>

namespace pkisim {

// Does nothing without NOTIFY_SOCKET; a failure is reported on standard
// error and otherwise ignored, as the service runs on either way.
void notifyServiceManager(const std::string& state);

} // namespace pkisim

#endif // PKISIM_READINESS_H
