// The application's two callbacks and the param of the notification
// callback, as createAgent stored them; read by the listener and the worker
// for every call.
#ifndef TESSERA_APPLICATION_CALLBACKS_H
#define TESSERA_APPLICATION_CALLBACKS_H

#include <atomic>

#include "tessera.h"

namespace vant {

struct applicationCallbacks {
    std::atomic<agentNotifyFunc> notifyFunc{nullptr};
    std::atomic<agentRespCB> respCB{nullptr};
    std::atomic<void*> notifyParam{nullptr}; // from the first createAgent until releaseAgent
};

} // namespace vant

#endif // TESSERA_APPLICATION_CALLBACKS_H
