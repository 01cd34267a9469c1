// Loads the library at run time, logs in, and unloads it while its threads
// run; the unload must end them first.
#include <dlfcn.h>

#include <cstdio>

#include "tessera.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto create = reinterpret_cast<decltype(&createAgent)>(dlsym(library, "createAgent"));
    auto login = reinterpret_cast<decltype(&loginAgent)>(dlsym(library, "loginAgent"));
    if (create == nullptr || login == nullptr || !create(nullptr, nullptr, nullptr) ||
        !login("demo", "demo-app-id", "demo-token"))
        return 3;
    dlclose(library);
    return 0;
}
