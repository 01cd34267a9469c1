#include "session.h"

#include "debugLines.h"
#include "exitCodes.h"

namespace cli {

bool logIn(const credentials& login)
{
    debugLine("connecting to 127.0.0.1:18080 to log in as application '" + login.appName + "'");
    if (loginAgent(login.appName.c_str(), login.appId.c_str(), login.token.c_str())) {
        debugLine("logged in");
        return true;
    }
    debugLine(std::string("login failed: ") + agentLastErrorText());
    return false;
}

session::session(const credentials& login, agentNotifyFunc notify, void* notifyParam, agentRespCB respond)
{
    if (!createAgent(notify, respond, notifyParam))
        throw libraryFailure("the agent could not be set up");
    if (logIn(login))
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
