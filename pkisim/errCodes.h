// The errCode values of the service, shared by the server core and the
// simulated devices (README.md describes each). Those the client library acts
// on come from its list in tessera_catalogue.h; the others are pkisim's own.
#ifndef PKISIM_ERR_CODES_H
#define PKISIM_ERR_CODES_H

#include <cstdint>

#include "tessera_catalogue.h"

namespace pkisim {
namespace errCode {
inline constexpr int32_t success = VPKI_RESULT_OK;
// No such session or it ended: the client logs in again.
inline constexpr int32_t sessionUnknown = VPKI_RESULT_SESSION_LOST;
inline constexpr int32_t busy = VPKI_RESULT_BUSY;                    // only when a fault says so
inline constexpr int32_t loginAccepted = VPKI_RESULT_LOGIN_ACCEPTED; // never sent
inline constexpr int32_t noEvent = VPKI_RESULT_NO_EVENT;             // a poll found nothing to deliver
inline constexpr int32_t loginRefused = 2;                           // unknown application or wrong token
inline constexpr int32_t badRequest = 4; // not JSON, member missing or mistyped, bad Base64, too large
inline constexpr int32_t notFound = 5;   // device, application, container, key or certificate
inline constexpr int32_t pinIncorrect = 8;
inline constexpr int32_t pinLocked = 9;
inline constexpr int32_t verificationFailed = 10;
inline constexpr int32_t unsupported = 11; // not for this key or device, or the device failed
} // namespace errCode
} // namespace pkisim

#endif // PKISIM_ERR_CODES_H
