// Small helpers over BSD sockets: loopback listeners, sending and receiving,
// and the accept loop of the servers.
#ifndef PKISIM_NET_SOCKET_H
#define PKISIM_NET_SOCKET_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "stopSignal.h"

namespace pkisim {

// A listening TCP socket on 127.0.0.1:port (0: the kernel picks a port).
// Throws std::runtime_error naming the port when it cannot be bound.
int listenLoopback(uint16_t port);

uint16_t localPort(int fd);
uint16_t peerPort(int fd);

// Sends every byte, retrying short writes; false when the connection failed.
bool sendAll(int fd, const char* data, size_t length);
inline bool sendAll(int fd, const std::string& text)
{
    return sendAll(fd, text.data(), text.size());
}

// Receives at most `most` bytes onto the end of `into`, retrying when a signal
// interrupts; false at the end of the stream or when the connection failed.
bool recvAppend(int fd, std::string& into, size_t most);

// Accepts connections on `listenFd` and hands each to `admit` (which owns the
// descriptor from then on) until `stopping` is raised. When descriptors or
// memory run out it backs off briefly instead of spinning; the backlog keeps
// the waiting clients meanwhile.
void acceptUntilStopped(int listenFd, const stopSignal& stopping, const std::function<void(int)>& admit);

} // namespace pkisim

#endif // PKISIM_NET_SOCKET_H
