#include "controlChannel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "netSocket.h"
#include "unixAddress.h"

namespace pkisim {

namespace {

constexpr size_t maxRequestBytes = 1u << 20;
constexpr size_t readChunk = 4096;
constexpr int clientTimeoutSeconds = 5;

// Removes a socket left behind by a service that is gone; refuses anything else.
void clearStaleSocket(const std::string& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return;
    if (!S_ISSOCK(info.st_mode))
        throw std::runtime_error("pkisim: control path " + path + " exists and is not a socket");
    const int live = connectControl(path);
    if (live >= 0) {
        close(live);
        throw std::runtime_error("pkisim: control path " + path + " is in use by a running service");
    }
    unlink(path.c_str());
}

bool samePeerUser(int fd)
{
    uid_t peer = 0;
    return peerUser(fd, peer) && (peer == geteuid() || peer == 0);
}

// A socket file gets mode 0600; whoever connects is asked for credentials
// anyway, as an abstract name has no mode.
int bindControl(const std::string& path, const unixAddress& address)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address.address), address.size) != 0 ||
        (!isAbstractName(path) && chmod(path.c_str(), 0600) != 0) || listen(fd, 16) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool readLine(int fd, std::string& line)
{
    while (line.find('\n') == std::string::npos && line.size() <= maxRequestBytes)
        if (!recvAppend(fd, line, readChunk))
            break;
    const size_t end = line.find('\n');
    if (end != std::string::npos)
        line.resize(end);
    return !line.empty() && line.size() <= maxRequestBytes;
}

} // namespace

controlChannel::controlChannel(const std::string& path, commandRunner run) : path(path), run(std::move(run))
{
    unixAddress address;
    if (!makeUnixAddress(path, address))
        throw std::runtime_error("pkisim: control path empty or too long: " + path);
    if (!isAbstractName(path))
        clearStaleSocket(path);
    listenFd = bindControl(path, address);
    if (listenFd < 0 && errno == EADDRINUSE)
        throw std::runtime_error("pkisim: control path " + path + " is in use by a running service");
    if (listenFd < 0)
        throw std::runtime_error("pkisim: cannot listen on control path " + path + ": " + std::strerror(errno));
    thread = std::thread(&controlChannel::serveLoop, this);
}

controlChannel::~controlChannel()
{
    stopping.raise();
    thread.join();
    close(listenFd);
    if (!isAbstractName(path))
        unlink(path.c_str());
}

void controlChannel::serveLoop()
{
    acceptUntilStopped(listenFd, stopping, [this](int fd) {
        serveClient(fd);
        close(fd);
    });
}

// One command per connection, served in turn: commands are short.
void controlChannel::serveClient(int fd)
{
    const timeval timeout{clientTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (!samePeerUser(fd)) {
        sendAll(fd, "{\"ok\":false,\"error\":\"permission denied\"}\n");
        return;
    }
    std::string line;
    if (!readLine(fd, line)) {
        sendAll(fd, "{\"ok\":false,\"error\":\"expected one JSON command line\"}\n");
        return;
    }
    sendAll(fd, run(line) + "\n");
}

int connectControl(const std::string& path)
{
    unixAddress address;
    if (!makeUnixAddress(path, address))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address.address), address.size) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool trustsControlService(uid_t serviceUid)
{
    const uid_t self = geteuid();
    return self == 0 || serviceUid == self || serviceUid == 0;
}

std::string defaultControlPath(uint16_t requestPort)
{
    return controlNamePrefix + std::to_string(requestPort);
}

} // namespace pkisim
