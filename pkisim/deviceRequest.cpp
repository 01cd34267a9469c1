#include "deviceRequest.h"

#include <algorithm>
#include <cctype>

#include "cryptoEncoding.h"

namespace pkisim {
namespace {

using json = nlohmann::json;

constexpr size_t maxNameBytes = 64;
constexpr size_t minPinBytes = 6;
constexpr size_t maxPinBytes = 16;
const char pemPrefix[] = "-----BEGIN";

[[noreturn]] void badRequest(const std::string& message)
{
    throw requestError(errCode::badRequest, message);
}

[[noreturn]] void notFound(const std::string& message)
{
    throw requestError(errCode::notFound, message);
}

const json& member(const json& body, const char* name)
{
    auto found = body.find(name);
    if (found == body.end())
        badRequest(std::string("member \"") + name + "\" is missing");
    return *found;
}

bool isBlank(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

template <class Map>
auto& findNamed(Map& things, const std::string& name, const char* kind)
{
    auto found = things.find(name);
    if (found == things.end())
        notFound(std::string(kind) + " \"" + name + "\" not found");
    return found->second;
}

} // namespace

requestError::requestError(int32_t code, const std::string& message, json details)
    : std::runtime_error(message),
      code_(code),
      details_(std::move(details))
{
}

json parseRequestBody(const std::string& text)
{
    if (text.size() > maxRequestBytes)
        badRequest("body larger than " + std::to_string(maxRequestBytes) + " bytes");
    if (isBlank(text))
        return json::object();
    json body = json::parse(text, nullptr, false);
    if (body.is_discarded())
        badRequest("body is not JSON");
    if (!body.is_object())
        badRequest("body is not a JSON object");
    return body;
}

const std::string& stringMember(const json& body, const char* name)
{
    const json& value = member(body, name);
    if (!value.is_string())
        badRequest(std::string("member \"") + name + "\" is not a string");
    return value.get_ref<const std::string&>();
}

std::optional<std::string> optionalStringMember(const json& body, const char* name)
{
    if (!body.contains(name))
        return std::nullopt;
    return stringMember(body, name);
}

int intMember(const json& body, const char* name, int low, int high)
{
    const json& value = member(body, name);
    if (!value.is_number_integer())
        badRequest(std::string("member \"") + name + "\" is not an integer");
    // Positive numbers arrive unsigned: compared as such, huge ones cannot wrap into range.
    bool inRange =
        value.is_number_unsigned()
            ? value.get<unsigned long long>() <= static_cast<unsigned long long>(high) && value.get<long long>() >= low
            : value.get<long long>() >= low && value.get<long long>() <= high;
    if (!inRange)
        badRequest(std::string("member \"") + name + "\" must be from " + std::to_string(low) + " to " +
                   std::to_string(high));
    return value.get<int>();
}

int intMember(const json& body, const char* name, int low, int high, int fallback)
{
    return body.contains(name) ? intMember(body, name, low, high) : fallback;
}

const std::string& newNameMember(const json& body, const char* name)
{
    const std::string& value = stringMember(body, name);
    if (value.empty() || value.size() > maxNameBytes)
        badRequest(std::string("member \"") + name + "\" must hold 1 to " + std::to_string(maxNameBytes) + " bytes");
    return value;
}

const std::string& newPinMember(const json& body, const char* name)
{
    const std::string& pin = stringMember(body, name);
    if (pin.size() < minPinBytes || pin.size() > maxPinBytes)
        badRequest(std::string("member \"") + name + "\" must hold " + std::to_string(minPinBytes) + " to " +
                   std::to_string(maxPinBytes) + " bytes");
    return pin;
}

std::string base64Member(const json& body, const char* name)
{
    std::optional<std::string> bytes = base64Decode(stringMember(body, name));
    if (!bytes)
        badRequest(std::string("member \"") + name + "\" is not Base64");
    return std::move(*bytes);
}

x509Ptr certMember(const json& body, const char* name)
{
    const std::string& text = stringMember(body, name);
    x509Ptr cert;
    if (text.compare(0, sizeof pemPrefix - 1, pemPrefix) == 0)
        cert = fromPem<x509Ptr>(text, PEM_read_bio_X509);
    else if (std::optional<std::string> der = base64Decode(text))
        cert = fromDer<x509Ptr>(*der, d2i_X509);
    if (!cert)
        badRequest(std::string("member \"") + name + "\" holds no certificate (PEM or Base64 DER)");
    return cert;
}

device& requestedDevice(const request& req)
{
    const std::string& devId = stringMember(req.body, "devID");
    device* dev = findDevice(req.devices, devId);
    if (!dev)
        notFound("device \"" + devId + "\" not found");
    return *dev;
}

application& requestedApp(const request& req)
{
    device& dev = requestedDevice(req);
    return findNamed(dev.apps, stringMember(req.body, "appName"), "application");
}

container& requestedContainer(const request& req)
{
    application& app = requestedApp(req);
    return findNamed(app.containers, stringMember(req.body, "conName"), "container");
}

EVP_PKEY* requestedKey(const request& req)
{
    container& con = requestedContainer(req);
    if (!con.key)
        notFound("container \"" + stringMember(req.body, "conName") + "\" holds no key pair");
    return con.key.get();
}

std::string jsonText(const json& reply)
{
    return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string errorText(const requestError& error)
{
    json body = error.details();
    body["error"] = error.what();
    return jsonText(body);
}

} // namespace pkisim
