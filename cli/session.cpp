#include "session.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "exitCodes.h"

namespace cli {
namespace {

// The library's fixed request endpoint.
constexpr uint16_t servicePort = 18080;

// Whether something accepts connections on the service's port. Tells a
// service that is not running from one that refuses the login.
bool serviceListening()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(servicePort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

failure unreachable()
{
    return failure(exitUnreachable, "the PKI service is not reachable on 127.0.0.1:18080");
}

} // namespace

session::session(const credentials& login, agentNotifyFunc notify, void* notifyParam)
{
    if (!serviceListening())
        throw unreachable();
    if (!createAgent(notify, nullptr, notifyParam))
        throw failure(exitRequestFailed, "the agent could not be set up");
    if (loginAgent(login.appName.c_str(), login.appId.c_str(), login.token.c_str()))
        return;
    releaseAgent();
    if (!serviceListening())
        throw unreachable();
    throw failure(exitLoginRefused, "the PKI service refused the login of application '" + login.appName + "'");
}

session::~session()
{
    logoutAgent();
    releaseAgent();
}

} // namespace cli
