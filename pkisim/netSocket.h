// Small helpers over BSD sockets on the loopback interface.
#ifndef PKISIM_NET_SOCKET_H
#define PKISIM_NET_SOCKET_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace pkisim {

// A listening TCP socket on 127.0.0.1:port (0: the kernel picks a port).
// Throws std::runtime_error naming the port when it cannot be bound.
int listenLoopback(uint16_t port);

uint16_t localPort(int fd);
uint16_t peerPort(int fd);

// Sends every byte, retrying short writes; false when the connection failed.
bool sendAll(int fd, const char* data, size_t length);
inline bool sendAll(int fd, const std::string& text) { return sendAll(fd, text.data(), text.size()); }

// Receives at most `most` bytes onto the end of `into`, retrying when a signal
// interrupts; false at the end of the stream or when the connection failed.
bool recvAppend(int fd, std::string& into, size_t most);

} // namespace pkisim

#endif // PKISIM_NET_SOCKET_H
