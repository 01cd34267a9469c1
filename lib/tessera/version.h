// The version of the loaded library, from the TESSERA_VERSION_* macros it
// was built with (an application's own copy of the header may be older).
#ifndef TESSERA_LIB_VERSION_H
#define TESSERA_LIB_VERSION_H

namespace vant {

// "MAJOR.MINOR.PATCH"; each number stored where its pointer is not null.
const char* libraryVersion(int* major, int* minor, int* patch) noexcept;

} // namespace vant

#endif // TESSERA_LIB_VERSION_H
