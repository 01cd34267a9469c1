// The errCode values of the service (see README.md for the whole table).
#ifndef PKISIM_ERR_CODES_H
#define PKISIM_ERR_CODES_H

#include <cstdint>

namespace pkisim {

constexpr int32_t errSuccess = 0;
constexpr int32_t errSessionUnknown = 1;
constexpr int32_t errLoginRefused = 2;
constexpr int32_t errBadRequest = 4;
constexpr int32_t errNoEvent = 7;

} // namespace pkisim

#endif // PKISIM_ERR_CODES_H
