// The request connections. One by default (what a service that serves one
// connection at a time can answer), up to a set maximum: an exchange leases
// a connection, an idle one if there is one, else a new one while fewer than
// the maximum exist, else it waits until one is given back. Each connection
// keeps its own framing, deadline, owner check and renewal; after a failed
// exchange its connection is replaced, since nothing of a failed stack is
// trusted (connection.h).
#ifndef TESSERA_REQUEST_CHANNELS_H
#define TESSERA_REQUEST_CHANNELS_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "connection.h"
#include "rankedMutex.h"
#include "timings.h"

namespace vant {

struct exchangeBuffers;

class requestChannels {
public:
    static constexpr int mostConnections = 16;

    explicit requestChannels(const timings& timing);
    ~requestChannels();
    requestChannels(const requestChannels&) = delete;
    requestChannels& operator=(const requestChannels&) = delete;

    struct channel;

    // One connection, for one exchange; given back when it goes.
    class lease {
    public:
        ~lease();
        lease(lease&& other) noexcept : owner(other.owner), slot(other.slot) { other.slot = nullptr; }
        lease(const lease&) = delete;
        lease& operator=(const lease&) = delete;
        lease& operator=(lease&&) = delete;

        // The connection, open: built or renewed first when it is closed,
        // the service closed it, a stale reply waits or it carried enough.
        // Throws exchangeFailure.
        rpcStack& open();
        // After a failed exchange: the next open() starts on a new stack.
        void renew();

    private:
        friend class requestChannels;
        lease(requestChannels& owner, channel& slot) : owner(&owner), slot(&slot) {}
        requestChannels* owner;
        channel* slot;
    };

    // Connections to 127.0.0.1:port from now on; leases may be taken. Builds
    // no connection: each is made when an exchange first needs it.
    void createReqTrans(uint16_t port);
    // Waits for a connection. Throws exchangeFailure (interrupted) after
    // interruptAll, until createReqTrans.
    lease acquire();
    // 1 .. mostConnections; false, changing nothing, for any other value.
    bool setMaxConnections(int n);
    // Every exchange in progress fails at once, and so does every later one.
    void interruptAll();
    // Closes and frees every idle connection; the next exchange opens a new
    // one. (A busy connection goes when it is given back if leases are
    // refused or there are more than the maximum.)
    void closeIdle();
    // Connections whose socket is open.
    size_t openCount() const;

private:
    void giveBack(channel& slot);
    std::shared_ptr<rpcStack> build(channel& slot);
    bool surplus(std::unique_lock<rankedMutex>& held) const;
    void closeIdle(std::unique_lock<rankedMutex>& held, bool all);

    const timings& timing;
    mutable rankedMutex lock{lockRank::channels};
    std::condition_variable_any freed;
    std::vector<std::unique_ptr<channel>> channels; // lock
    uint16_t port = 0;                              // lock
    int maxConnections = 1;                         // lock
    bool accepting = false;                         // lock
};

} // namespace vant

#endif // TESSERA_REQUEST_CHANNELS_H
