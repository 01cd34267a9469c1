// A logged-in agent for the length of one command.
#ifndef TESSERA_CLI_SESSION_H
#define TESSERA_CLI_SESSION_H

#include "settings.h"
#include "tessera.h"

namespace cli {

class session {
public:
    // Creates the agent and logs in. Throws the library's failure otherwise
    // (exitUnreachable when nothing listens on the service's port,
    // exitLoginRefused when the service does not accept the credentials, ...).
    explicit session(const credentials& login, agentNotifyFunc notify = nullptr, void* notifyParam = nullptr,
                     agentRespCB respond = nullptr);
    // Logs out and releases the agent (waiting for its threads).
    ~session();
    session(const session&) = delete;
    session& operator=(const session&) = delete;
};

// A login of the current agent with `login`, told on the debug lines; false
// with the library's last error set when it failed.
bool logIn(const credentials& login);

} // namespace cli

#endif // TESSERA_CLI_SESSION_H
