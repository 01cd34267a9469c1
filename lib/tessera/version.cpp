#include "version.h"

#include "tessera.h"

#define TESSERA_TEXT_OF(x) #x
#define TESSERA_NUMBER_TEXT(x) TESSERA_TEXT_OF(x)

namespace vant {

const char* libraryVersion(int* major, int* minor, int* patch) noexcept
{
    static const char text[] = TESSERA_NUMBER_TEXT(TESSERA_VERSION_MAJOR) "." TESSERA_NUMBER_TEXT(
        TESSERA_VERSION_MINOR) "." TESSERA_NUMBER_TEXT(TESSERA_VERSION_PATCH);
    if (major != nullptr)
        *major = TESSERA_VERSION_MAJOR;
    if (minor != nullptr)
        *minor = TESSERA_VERSION_MINOR;
    if (patch != nullptr)
        *patch = TESSERA_VERSION_PATCH;
    return text;
}

} // namespace vant
