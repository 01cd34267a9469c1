#include "settings.h"

#include <cstdlib>

#include "exitCodes.h"
#include "lookup.h"

namespace cli {
namespace {

constexpr size_t credentialMax = 64;

std::string pick(const parsedArgs& args, const char* option, const char* variable, const char* fallback)
{
    if (args.has(option))
        return args.value(option);
    const char* fromEnvironment = std::getenv(variable);
    return fromEnvironment != nullptr ? fromEnvironment : fallback;
}

void checkLength(const std::string& value, const char* what)
{
    if (value.size() > credentialMax)
        throw usageError(std::string(what) + " is longer than 64 characters");
}

} // namespace

const std::vector<optionSpec>& globalOptionSpecs()
{
    static const std::vector<optionSpec> specs = {
        {"help", false}, {"version", false}, {"verbose", false}, {"text", false},       {"json", false},
        {"app", true},   {"app-id", true},   {"token", true},    {"connections", true},
    };
    return specs;
}

settings readSettings(const parsedArgs& args)
{
    if (args.has("text") && args.has("json"))
        throw usageError("--text and --json exclude each other");
    settings s;
    s.text = args.has("text");
    s.verbose = args.has("verbose");
    s.login.appName = pick(args, "app", "TESSERA_APP_NAME", "demo");
    s.login.appId = pick(args, "app-id", "TESSERA_APP_ID", "demo-app-id");
    s.login.token = pick(args, "token", "TESSERA_TOKEN", "demo-token");
    checkLength(s.login.appName, "the application name");
    checkLength(s.login.appId, "the application id");
    checkLength(s.login.token, "the token");
    long long connections = 0;
    if (args.has("connections") && !parseNumber(args.value("connections"), 1, 16, connections))
        throw usageError("--connections needs a number from 1 to 16");
    s.connections = static_cast<int>(connections);
    return s;
}

} // namespace cli
