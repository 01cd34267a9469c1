#include "ctlClient.h"

#include "faultList.h"

#include <sys/socket.h>
#include <unistd.h>

#include <iostream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "controlChannel.h"
#include "netSocket.h"
#include "textNumbers.h"
#include "unixAddress.h"

namespace pkisim {

using nlohmann::json;

namespace {

constexpr size_t replyChunk = 4096;

enum class valueType { text, integer, flag, textOrInteger };

struct argument {
    const char* flag;   // "--label"; for positional arguments the shown name
    const char* member; // JSON member of the command
    valueType type;
};

struct ctlCommand {
    const char* name;
    std::vector<argument> positional;
    size_t requiredPositional;
    std::vector<argument> options;
    const char* help;
};

const std::vector<ctlCommand>& ctlCommands()
{
    static const std::vector<ctlCommand> table = {
        {"status", {}, 0, {}, "ports, counts of sessions, devices, connections, calls and faults"},
        {"devices", {}, 0, {}, "the simulated devices"},
        {"insert",
         {},
         0,
         {{"--id", "devId", valueType::text},
          {"--label", "label", valueType::text},
          {"--key", "keyType", valueType::text}},
         "insert a device (--key RSA or ECC); queues a device-inserted event"},
        {"remove", {{"DEVID", "devId", valueType::text}}, 1, {}, "remove a device; queues a device-removed event"},
        {"modify",
         {{"DEVID", "devId", valueType::text}, {"LABEL", "label", valueType::text}},
         2,
         {},
         "relabel a device; queues a device-modified event"},
        {"sessions", {}, 0, {}, "the open sessions"},
        {"close-session",
         {{"SESSIONID", "sessionID", valueType::integer}},
         1,
         {},
         "close a session: its next poll gets a session-closed event"},
        {"expire-session",
         {{"SESSIONID", "sessionID", valueType::integer}},
         1,
         {},
         "forget a session at once: its next call answers errCode 1"},
        {"event",
         {{"TYPE", "msgType", valueType::textOrInteger}, {"BODY", "jsonBody", valueType::text}},
         1,
         {},
         "queue an event for every session (TYPE: inserted, removed, modified, session-closed or a number)"},
        {"fault",
         {{"KIND", "kind", valueType::text}},
         1,
         {{"--method", "method", valueType::text},
          {"--count", "count", valueType::integer},
          {"--delay-ms", "delayMs", valueType::integer},
          {"--message", "message", valueType::text},
          {"--raw-wire", "rawWire", valueType::flag},
          {"--pace-ms", "paceMs", valueType::integer},
          {"--status", "status", valueType::integer},
          {"--errcode", "errCode", valueType::integer},
          {"--respid", "respid", valueType::integer},
          {"--msgtype", "msgType", valueType::integer},
          {"--version", "version", valueType::integer},
          {"--extend", "extend", valueType::integer},
          {"--body", "jsonBody", valueType::text}},
         "inject a fault (KIND: delay, exception, missing-result, malformed, http-status, drop-mid-reply, "
         "silent, reply, notify-errcode, refuse-login, raw-reply)"},
        {"clear-faults", {}, 0, {}, "drop every pending fault"},
        {"faults", {}, 0, {}, "the pending faults"},
        {"calls",
         {},
         0,
         {{"--last", "last", valueType::integer}, {"--clear", "clear", valueType::flag}},
         "the recorded calls (--last N: only the newest N; --clear: empty the record afterwards)"},
        {"certificate", {{"DEVID", "devId", valueType::text}}, 1, {}, "a device's certificate (PEM)"},
        {"public-key", {{"DEVID", "devId", valueType::text}}, 1, {}, "a device's public key (PEM)"},
    };
    return table;
}

void setValue(json& request, const argument& arg, const std::string& text)
{
    switch (arg.type) {
    case valueType::text: request[arg.member] = text; break;
    case valueType::integer: request[arg.member] = parseInteger(text); break;
    case valueType::textOrInteger: try { request[arg.member] = parseInteger(text);
        } catch (const std::invalid_argument&) {
            request[arg.member] = text;
        }
        break;
    case valueType::flag: request[arg.member] = true; break;
    }
}

const argument* findOption(const ctlCommand& cmd, const std::string& flag)
{
    for (const argument& option : cmd.options)
        if (flag == option.flag)
            return &option;
    return nullptr;
}

json buildRequest(const ctlCommand& cmd, const std::vector<std::string>& words)
{
    json request = {{"command", cmd.name}};
    size_t positional = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i].size() > 2 && words[i].compare(0, 2, "--") == 0) {
            const argument* option = findOption(cmd, words[i]);
            if (!option)
                throw std::invalid_argument("unknown option " + words[i] + " for " + cmd.name);
            if (option->type != valueType::flag && ++i == words.size())
                throw std::invalid_argument(words[i - 1] + " needs a value");
            setValue(request, *option, option->type == valueType::flag ? "" : words[i]);
        } else if (positional < cmd.positional.size()) {
            setValue(request, cmd.positional[positional++], words[i]);
        } else {
            throw std::invalid_argument("too many arguments for " + std::string(cmd.name));
        }
    }
    if (positional < cmd.requiredPositional)
        throw std::invalid_argument(std::string(cmd.name) + " needs " + cmd.positional[positional].flag);
    return request;
}

// Connects and makes sure the socket's holder may be trusted with the
// command; -1, said on standard error, otherwise.
int connectTrusted(const std::string& path)
{
    const int fd = connectControl(path);
    if (fd < 0) {
        std::cerr << "pkisim ctl: no service answers on " << path << "\n";
        return -1;
    }
    uid_t holder = 0;
    if (!peerUser(fd, holder) || !trustsControlService(holder)) {
        close(fd);
        std::cerr << "pkisim ctl: " << path << " is held by uid " << holder
                  << ", neither this user nor root; nothing was sent\n";
        return -1;
    }
    return fd;
}

bool exchange(int fd, const std::string& line, std::string& reply)
{
    const timeval timeout{60, 0}; // inserting an RSA device generates a key
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    // A service that refuses the client answers at once and closes, perhaps
    // before the command is sent: its answer is read all the same.
    sendAll(fd, line + "\n");
    shutdown(fd, SHUT_WR);
    // The service answers one line and closes the connection.
    while (recvAppend(fd, reply, replyChunk))
        continue;
    close(fd);
    while (!reply.empty() && reply.back() == '\n')
        reply.pop_back();
    return !reply.empty();
}

int sendCommand(const std::string& path, const json& request)
{
    const int fd = connectTrusted(path);
    if (fd < 0)
        return 2;
    std::string reply;
    if (!exchange(fd, request.dump(), reply)) {
        std::cerr << "pkisim ctl: no service answers on " << path << "\n";
        return 2;
    }
    std::cout << reply << "\n";
    const json answer = json::parse(reply, nullptr, false);
    return answer.is_object() && answer.value("ok", false) ? 0 : 1;
}

} // namespace

std::string ctlUsageText()
{
    std::string text = "usage: pkisim ctl [--control PATH | --port N] COMMAND [ARGUMENTS]\n"
                       "\n"
                       "Sends COMMAND to a running pkisim over its control socket and prints the\n"
                       "JSON reply on one line. Exit status: 0 done, 1 refused, 2 bad usage or no service.\n"
                       "\n"
                       "  --control PATH  the control socket, a path or an @abstract name\n"
                       "                  (default: " +
                       std::string(controlNamePrefix) +
                       "PORT)\n"
                       "  --port N        the request port of the service to reach (default 18080)\n"
                       "\n"
                       "commands:\n";
    for (const ctlCommand& cmd : ctlCommands()) {
        std::string synopsis = cmd.name;
        for (size_t i = 0; i < cmd.positional.size(); ++i)
            synopsis += i < cmd.requiredPositional ? std::string(" ") + cmd.positional[i].flag
                                                   : std::string(" [") + cmd.positional[i].flag + "]";
        for (const argument& option : cmd.options)
            synopsis += std::string(" [") + option.flag + (option.type == valueType::flag ? "]" : " V]");
        text += "  " + synopsis + "\n      " + cmd.help + "\n";
    }
    return text;
}

completion::level ctlCompletionTable()
{
    completion::level ctl{{{"--control", true}, {"--port", true}, {"--help", false}, {"-h", false}}, {}};
    for (const ctlCommand& cmd : ctlCommands()) {
        completion::level next;
        for (const argument& option : cmd.options)
            next.options.push_back({option.flag, option.type != valueType::flag});
        // "fault KIND": the kinds complete, and the options after them.
        if (std::string(cmd.name) == "fault")
            for (const std::string& kind : faultKindNames())
                next.commands.push_back({kind, {next.options, {}}});
        ctl.commands.push_back({cmd.name, next});
    }
    return ctl;
}

int runCtl(const std::vector<std::string>& args)
{
    std::string path;
    uint16_t port = 18080;
    size_t i = 0;
    try {
        for (; i < args.size() && args[i].compare(0, 1, "-") == 0; ++i) {
            if (args[i] == "-h" || args[i] == "--help") {
                std::cout << ctlUsageText();
                return 0;
            }
            if ((args[i] != "--control" && args[i] != "--port") || i + 1 == args.size())
                throw std::invalid_argument("unknown option " + args[i]);
            if (args[i] == "--control")
                path = args[++i];
            else
                port = static_cast<uint16_t>(parseInteger(args[++i], 0, 65535));
        }
        if (i == args.size())
            throw std::invalid_argument("no command given");
        for (const ctlCommand& cmd : ctlCommands())
            if (args[i] == cmd.name)
                return sendCommand(path.empty() ? defaultControlPath(port) : path,
                                   buildRequest(cmd, std::vector<std::string>(args.begin() + i + 1, args.end())));
        throw std::invalid_argument("unknown command " + args[i]);
    } catch (const std::invalid_argument& e) {
        std::cerr << "pkisim ctl: " << e.what() << "\n" << ctlUsageText();
        return 2;
    }
}

} // namespace pkisim
