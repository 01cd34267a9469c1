#include "session.h"

#include "exitCodes.h"

namespace cli {

session::session(const credentials& login, agentNotifyFunc notify, void* notifyParam)
{
    if (!createAgent(notify, nullptr, notifyParam))
        throw libraryFailure("the agent could not be set up");
    if (loginAgent(login.appName.c_str(), login.appId.c_str(), login.token.c_str()))
        return;
    const failure refused = libraryFailure("login of application '" + login.appName + "' failed");
    releaseAgent();
    throw refused;
}

session::~session()
{
    logoutAgent();
    releaseAgent();
}

} // namespace cli
