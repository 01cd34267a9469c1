// Reading request bodies and naming what they address, for the operations of
// the simulated devices. Every failure leaves as a requestError carrying the
// errCode and the text of the reply's "error" member.
#ifndef PKISIM_DEVICE_REQUEST_H
#define PKISIM_DEVICE_REQUEST_H

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "deviceModel.h"
#include "errCodes.h"

namespace pkisim {

class requestError : public std::runtime_error {
public:
    // `details`: further members of the error body beside "error".
    requestError(int32_t code, const std::string& message, nlohmann::json details = nlohmann::json::object());
    int32_t code() const { return code_; }
    const nlohmann::json& details() const { return details_; }

private:
    int32_t code_;
    nlohmann::json details_;
};

// One request as an operation sees it.
struct request {
    std::vector<device>& devices;
    const nlohmann::json& body; // always a JSON object
    const std::string& method;
    const std::string& text; // the body as received
};

// Larger bodies are refused before parsing.
inline constexpr size_t maxRequestBytes = 16u << 20;

// The body as a JSON object; an empty or blank text counts as {}.
nlohmann::json parseRequestBody(const std::string& text);

const std::string& stringMember(const nlohmann::json& body, const char* name);
std::optional<std::string> optionalStringMember(const nlohmann::json& body, const char* name);
// An integer member within [low, high]; `fallback` when absent.
int intMember(const nlohmann::json& body, const char* name, int low, int high);
int intMember(const nlohmann::json& body, const char* name, int low, int high, int fallback);
// A string member of 1 to 64 bytes, for the names of new things.
const std::string& newNameMember(const nlohmann::json& body, const char* name);
// A string member of 6 to 16 bytes, for new PINs.
const std::string& newPinMember(const nlohmann::json& body, const char* name);
// The bytes of a Base64 string member.
std::string base64Member(const nlohmann::json& body, const char* name);
// A certificate given as PEM text or as Base64 DER.
x509Ptr certMember(const nlohmann::json& body, const char* name);

// What "devID", "appName" and "conName" name; errCode 5 when it does not exist.
device& requestedDevice(const request& req);
application& requestedApp(const request& req);
container& requestedContainer(const request& req);
// The container's key pair; errCode 5 when the container is empty.
EVP_PKEY* requestedKey(const request& req);

// Reply and error bodies as text; invalid UTF-8 in a value is replaced, never thrown on.
std::string jsonText(const nlohmann::json& reply);
std::string errorText(const requestError& error);

} // namespace pkisim

#endif // PKISIM_DEVICE_REQUEST_H
