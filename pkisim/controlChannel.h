// The local control channel of a running service: a unix socket (mode 0600,
// peers of the same user only) that takes one JSON command per connection
// and answers one JSON line.
#ifndef PKISIM_CONTROL_CHANNEL_H
#define PKISIM_CONTROL_CHANNEL_H

#include <functional>
#include <string>
#include <thread>

#include "stopSignal.h"

namespace pkisim {

class controlChannel {
public:
    // Takes a request line, returns the reply line (without line ends).
    using commandRunner = std::function<std::string(const std::string&)>;

    // Binds `path` and starts serving. A leftover socket of a service that is
    // gone is replaced; a live one, or any other file, makes it throw
    // std::runtime_error.
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
// The socket path used when none is given: in $XDG_RUNTIME_DIR when set,
// otherwise in /tmp, named after the user and the request port.
std::string defaultControlPath(uint16_t requestPort);

} // namespace pkisim

#endif // PKISIM_CONTROL_CHANNEL_H
