// The methods of the four request services, by multiplexed service name.
#ifndef PKISIM_SERVICE_METHODS_H
#define PKISIM_SERVICE_METHODS_H

#include <string>

namespace pkisim {

// "deviceOperator", "enrollPlugin", "signxPlugin", "vmailPlugin".
bool isRequestService(const std::string& service);
bool hasRequestMethod(const std::string& service, const std::string& method);

} // namespace pkisim

#endif // PKISIM_SERVICE_METHODS_H
