#include "controlChannel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "netSocket.h"

namespace pkisim {

namespace {

constexpr size_t maxRequestBytes = 1u << 20;
constexpr size_t readChunk = 4096;
constexpr int clientTimeoutSeconds = 5;

bool makeAddress(const std::string& path, sockaddr_un& address)
{
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

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
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return false;
    return peer.uid == geteuid() || peer.uid == 0;
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
    sockaddr_un address;
    if (!makeAddress(path, address))
        throw std::runtime_error("pkisim: control path empty or too long: " + path);
    clearStaleSocket(path);
    listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd < 0 || bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(listenFd, 16) != 0) {
        const std::string why = std::strerror(errno);
        if (listenFd >= 0)
            close(listenFd);
        throw std::runtime_error("pkisim: cannot listen on control path " + path + ": " + why);
    }
    thread = std::thread(&controlChannel::serveLoop, this);
}

controlChannel::~controlChannel()
{
    stopping.raise();
    thread.join();
    close(listenFd);
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
    sockaddr_un address;
    if (!makeAddress(path, address))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string defaultControlPath(uint16_t requestPort)
{
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    const std::string name = "pkisim-" + std::to_string(requestPort) + ".sock";
    if (runtimeDir && *runtimeDir)
        return std::string(runtimeDir) + "/" + name;
    return "/tmp/pkisim-" + std::to_string(geteuid()) + "-" + std::to_string(requestPort) + ".sock";
}

} // namespace pkisim
