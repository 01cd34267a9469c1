#include "cliOptions.h"

#include <climits>
#include <functional>
#include <stdexcept>

#include "ctlClient.h"
#include "textNumbers.h"

namespace pkisim {

namespace {

struct flagSpec {
    const char* shortName;
    const char* longName;
    const char* valueName; // nullptr: the flag takes no value
    const char* help;
    std::function<void(commandLine&, const std::string&)> apply;
};

uint16_t portText(const std::string& text)
{
    return static_cast<uint16_t>(parseInteger(text, 0, 65535));
}

const std::vector<flagSpec>& flags()
{
    static const std::vector<flagSpec> table = {
        {"-p", "--port", "N",
         "request port on 127.0.0.1 (default 18080, the one clients of the library\n"
         "      reach; 0: any free port, which only tests of the service itself use)",
         [](commandLine& c, const std::string& v) { c.opts.port = portText(v); }},
        {"-n", "--notify-port", "N", "notification port, reported at login (default 18081; 0: any free port)",
         [](commandLine& c, const std::string& v) { c.opts.notifyPort = portText(v); }},
        {"-t", "--timeout", "SECONDS", "session time-out reported at login, 1 to 86400 (default 30)",
         [](commandLine& c, const std::string& v) {
             c.opts.sessionTimeout = static_cast<int32_t>(parseInteger(v, 1, maxSessionTimeout));
         }},
        {"-l", "--long-poll", "MS", "hold an empty notification poll up to MS until an event comes (default 0)",
         [](commandLine& c, const std::string& v) {
             c.opts.longPollMs = static_cast<int>(parseInteger(v, 0, 3600000));
         }},
        {"-k", "--keys", "DIR",
         "load device keys from DIR, create and save them there when missing (default: in memory)",
         [](commandLine& c, const std::string& v) { c.opts.keyDir = v; }},
        {"-a", "--apps", "FILE", "JSON array of further applications {\"appName\",\"appID\",\"token\"}",
         [](commandLine& c, const std::string& v) { c.opts.appsFile = v; }},
        {"-c", "--control", "PATH",
         "control socket for `pkisim ctl`, a path or an @abstract name (default: one named after the request port)",
         [](commandLine& c, const std::string& v) {
             c.opts.controlPath = v;
             c.opts.defaultControl = false;
         }},
        {nullptr, "--no-control", nullptr, "no control socket",
         [](commandLine& c, const std::string&) {
             c.opts.controlPath.clear();
             c.opts.defaultControl = false;
         }},
        {"-b", "--max-body", "BYTES", "refuse HTTP bodies larger than BYTES with 413 (default 16777216)",
         [](commandLine& c, const std::string& v) {
             c.opts.maxBodyBytes = static_cast<size_t>(parseInteger(v, 1, 1 << 30));
         }},
        {"-r", "--record-limit", "N", "calls kept in the record of calls (default 4096)",
         [](commandLine& c, const std::string& v) {
             c.opts.recordLimit = static_cast<size_t>(parseInteger(v, 1, INT32_MAX));
         }},
        {"-v", "--verbose", nullptr, "one line per call on stderr",
         [](commandLine& c, const std::string&) { c.opts.verbose = true; }},
        {"-h", "--help", nullptr, "this text", [](commandLine& c, const std::string&) { c.help = true; }},
        {"-V", "--version", nullptr, "the version", [](commandLine& c, const std::string&) { c.version = true; }},
    };
    return table;
}

const flagSpec& findFlag(const std::string& word)
{
    for (const flagSpec& flag : flags())
        if ((flag.shortName && word == flag.shortName) || word == flag.longName)
            return flag;
    throw std::invalid_argument("unknown option " + word);
}

} // namespace

commandLine parseCommandLine(const std::vector<std::string>& args)
{
    commandLine line;
    line.opts.defaultControl = true;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string word = args[i];
        std::string value;
        const size_t equals = word.find('=');
        const bool inlineValue = word.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) {
            value = word.substr(equals + 1);
            word.resize(equals);
        }
        const flagSpec& flag = findFlag(word);
        if (flag.valueName && !inlineValue) {
            if (i + 1 == args.size())
                throw std::invalid_argument(word + " needs " + flag.valueName);
            value = args[++i];
        } else if (!flag.valueName && inlineValue) {
            throw std::invalid_argument(word + " takes no value");
        }
        flag.apply(line, value);
    }
    return line;
}

std::string usageText()
{
    std::string text = "usage: pkisim [OPTIONS]\n"
                       "       pkisim ctl [--control PATH | --port N] COMMAND [ARGUMENTS]   (pkisim ctl --help)\n"
                       "\n"
                       "The development PKI service: serves the session, device, enrolment, signing\n"
                       "and secure-mail services over Thrift JSON in HTTP POST on 127.0.0.1, with\n"
                       "simulated devices. Prints one line when it listens; SIGINT or SIGTERM stop it.\n"
                       "\n"
                       "options:\n";
    for (const flagSpec& flag : flags()) {
        std::string names = flag.shortName ? std::string(flag.shortName) + ", " : "    ";
        names += flag.longName;
        if (flag.valueName)
            names += std::string(" ") + flag.valueName;
        text += "  " + names + "\n      " + flag.help + "\n";
    }
    return text;
}

completion::level completionTable()
{
    completion::level top{{}, {{"ctl", ctlCompletionTable()}}};
    for (const flagSpec& flag : flags()) {
        if (flag.shortName)
            top.options.push_back({flag.shortName, flag.valueName != nullptr});
        top.options.push_back({flag.longName, flag.valueName != nullptr});
    }
    return top;
}

} // namespace pkisim
