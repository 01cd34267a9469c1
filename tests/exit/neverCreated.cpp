// Links the library and exits without ever using it.
#include "tessera.h"

int main()
{
    // Keeps the library linked without calling into it.
    bool (*volatile keep)(agentNotifyFunc, agentRespCB, void*) = &createAgent;
    (void)keep;
    return 0;
}
