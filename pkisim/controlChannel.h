// The local control channel of a running service: a unix socket that takes
// one JSON command per connection and answers one JSON line. Only peers of
// the service's own user or root are served (by the peer's credentials, as
// an abstract name has no file permissions; a path's socket is also mode 0600).
#ifndef PKISIM_CONTROL_CHANNEL_H
#define PKISIM_CONTROL_CHANNEL_H

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "stopSignal.h"

namespace pkisim {

class controlChannel {
public:
    // Takes a request line, returns the reply line (without line ends).
    using commandRunner = std::function<std::string(const std::string&)>;

    // Binds `path` (a file path or an '@' abstract name) and starts serving.
    // A leftover socket file of a service that is gone is replaced; a live
    // socket, or any other file, makes it throw std::runtime_error.
    controlChannel(const std::string& path, commandRunner run);
    ~controlChannel(); // stops serving and removes the socket
    controlChannel(const controlChannel&) = delete;
    controlChannel& operator=(const controlChannel&) = delete;

private:
    void serveLoop();
    void serveClient(int fd);

    const std::string path;
    const commandRunner run;
    stopSignal stopping;
    int listenFd = -1;
    std::thread thread;
};

// Connects to a control socket; -1 when nothing listens there.
int connectControl(const std::string& path);
// Whether a client may use a control socket whose service runs as `serviceUid`:
// its own user's and root's, any for root. An abstract name can be taken by
// any user of the network namespace, so the client asks who holds it.
bool trustsControlService(uid_t serviceUid);
// The socket used when none is given: the abstract name
// controlNamePrefix followed by the request port. Each network namespace has its own, as it has its
// own request port, so services in separate namespaces do not meet.
inline constexpr const char* controlNamePrefix = "@tessera-pkisim-";
std::string defaultControlPath(uint16_t requestPort);

} // namespace pkisim

#endif // PKISIM_CONTROL_CHANNEL_H
