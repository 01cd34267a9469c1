// Options that every command takes: output form and login credentials.
#ifndef TESSERA_CLI_SETTINGS_H
#define TESSERA_CLI_SETTINGS_H

#include <string>
#include <vector>

#include "arguments.h"

namespace cli {

struct credentials {
    std::string appName;
    std::string appId;
    std::string token;
};

struct settings {
    bool text = false;    // readable text instead of JSON
    bool verbose = false; // the library's debug lines on standard error
    int connections = 0;  // --connections: request connections, 1..16; 0 leaves the library's default
    credentials login;
};

// --help, --version, --verbose, --text, --json, --app, --app-id, --token,
// --connections.
const std::vector<optionSpec>& globalOptionSpecs();

// Credentials come from the options, else from TESSERA_APP_NAME,
// TESSERA_APP_ID and TESSERA_TOKEN, else the demo application's. Throws a
// usage failure for a value the login would refuse (over 64 characters)
// and for a number of connections outside 1..16.
settings readSettings(const parsedArgs& args);

} // namespace cli

#endif // TESSERA_CLI_SETTINGS_H
