// tessera sign: sign data with a device key through the signing shortcuts.
#include "base64.h"
#include "commands.h"
#include "exitCodes.h"
#include "files.h"
#include "request.h"
#include "session.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;

// The signing request holds at most 961 characters of key names (as JSON
// string contents) and Base64 text together (see VPKI_SIGN_DATA_MAX).
constexpr size_t requestRoom = 961;

const char* const keyMembers[] = {"devId", "applicationName", "containerName"};

json readKey(const std::string& text)
{
    const json key = json::parse(text, nullptr, false);
    bool complete = key.is_object();
    for (const char* member : keyMembers)
        complete = complete && key.contains(member) && key[member].is_string();
    if (!complete)
        throw usageError("--key needs a JSON object with the string members devId, applicationName and containerName");
    return key;
}

// The most data bytes that fit in one signing request beside these names.
size_t dataRoom(const json& key)
{
    size_t names = 0;
    for (const char* member : keyMembers)
        names += dumpJson(key[member], -1).size() - 2;
    return names > requestRoom ? 0 : (requestRoom - names) / 4 * 3;
}

std::string signWith(bool ecc, const std::string& key, const std::string& data)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const auto length = static_cast<uint32_t>(data.size());
    unsigned char signature[VPKI_RSA_SIGNATURE_MAX + 1];
    uint32_t signatureLen = VPKI_ECC_SIGNATURE_SIZE;
    const uint32_t result = ecc ? eccSignData(key.c_str(), bytes, length, signature)
                                : rsaSignData(key.c_str(), bytes, length, signature, &signatureLen);
    if (result != VPKI_SIGN_OK)
        throw libraryFailure("signing failed");
    return std::string(reinterpret_cast<const char*>(signature), signatureLen);
}

std::string base64Line(const std::string& bytes)
{
    return vant::base64_encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) + "\n";
}

// The key type ("RSA", "ECC") of a device as getDevices reports it; "" when
// the service lists no such device.
std::string deviceKeyType(const std::string& devId)
{
    vpkiResp resp;
    sendRequest({DEVSERVICE, VPKI_DEV_getDevices, 1, 0, "{}"}, resp);
    if (resp.errCode != 0)
        throw serviceRefusal("getDevices", resp);
    const json body = json::parse(resp.body->getDataString(), nullptr, false);
    if (!body.is_object() || !body.contains("devices") || !body["devices"].is_array())
        throw failure(exitServiceFailed, "getDevices: the answer holds no device list");
    for (const json& dev : body["devices"])
        if (dev.is_object() && dev.value("devID", json()) == devId && dev.contains("keyType"))
            return scalarText(dev["keyType"]);
    return std::string();
}

// A key of another type than asked for would be signed with all the same
// and its signature taken for the other kind: refused before signing.
void checkKeyType(const std::string& devId, bool ecc)
{
    const std::string wanted = ecc ? "ECC" : "RSA";
    const std::string held = deviceKeyType(devId);
    if (held.empty())
        throw failure(exitRequestFailed, "the service lists no device '" + devId + "' (see 'tessera devices')");
    if (held == wanted)
        return;
    const std::string hint = held == "RSA" ? "; use --rsa" : held == "ECC" ? "; use --ecc" : "";
    throw usageError("device '" + devId + "' holds an " + held + " key, not an " + wanted + " key" + hint);
}

bool chooseEcc(const parsedArgs& args)
{
    if (args.has("rsa") == args.has("ecc"))
        throw usageError("give exactly one of --rsa and --ecc");
    return args.has("ecc");
}

int runSign(const invocation& call)
{
    const parsedArgs& args = call.args;
    const bool ecc = chooseEcc(args);
    if (!args.has("key"))
        throw usageError("--key is required");
    const json key = readKey(args.value("key"));
    const bool toFile = args.has("out") && args.value("out") != "-";
    if (!toFile && !args.has("base64") && call.out.isTerminal())
        throw usageError("not writing a binary signature to a terminal; use --base64 or --out FILE");
    const std::string data = readAll(args.value("in", "-"));
    if (data.size() > dataRoom(key))
        throw usageError("the data is " + std::to_string(data.size()) + " bytes; with this key at most " +
                         std::to_string(dataRoom(key)) + " bytes fit in one signing request");

    session login(call.config.login);
    checkKeyType(key["devId"].get<std::string>(), ecc);
    const std::string signature = signWith(ecc, args.value("key"), data);
    const std::string encoded = args.has("base64") ? base64Line(signature) : signature;
    if (!toFile) {
        call.out.raw(encoded);
        return exitOk;
    }
    writeAll(args.value("out"), encoded);
    call.out.document({{"keyType", ecc ? "ECC" : "RSA"},
                       {"length", signature.size()},
                       {"file", args.value("out")},
                       {"encoding", args.has("base64") ? "base64" : "raw"}});
    return exitOk;
}

} // namespace

command signCommand()
{
    return {"sign",
            "sign data with a device key",
            "Usage: tessera sign [OPTIONS] (--rsa | --ecc) --key KEY [--in FILE] [--out FILE] [--base64]\n"
            "\n"
            "Signs data with a key held on a device and writes the signature. The\n"
            "device's key type (getDevices) must be the one asked for: a mismatch is\n"
            "refused with status 2 before anything is signed.\n"
            "\n"
            "Options:\n"
            "  --rsa        the key is an RSA key: the signature is as long as the modulus\n"
            "  --ecc        the key is an ECC key: the signature is a 128-byte block,\n"
            "               r then s, each right-aligned in 64 bytes\n"
            "  --key KEY    the key, as JSON:\n"
            "               {\"devId\":...,\"applicationName\":...,\"containerName\":...}\n"
            "               (the signing shortcuts' names; the request bodies of\n"
            "               'tessera call' name the same things devID, appName, conName)\n"
            "  --in FILE    the data to sign ('-' or absent: standard input). One\n"
            "               request carries at most 720 bytes, fewer with long key names.\n"
            "  --out FILE   write the signature to FILE and print a summary\n"
            "               (keyType, length, file, encoding) instead\n"
            "  --base64     write the signature as one line of Base64 text\n"
            "\n"
            "Without --out the signature goes to standard output; raw bytes are not\n"
            "written to a terminal.\n"
            "\n"
            "Example:\n"
            "  echo -n hello | tessera sign --rsa --base64 \\\n"
            "    --key '{\"devId\":\"SIM-RSA-01\",\"applicationName\":\"pkisim\",\"containerName\":\"sign\"}'\n",
            {{"rsa", false}, {"ecc", false}, {"key", true}, {"in", true}, {"out", true}, {"base64", false}},
            0,
            0,
            runSign};
}

} // namespace cli
