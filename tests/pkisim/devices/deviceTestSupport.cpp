#include "deviceTestSupport.h"

#include <gtest/gtest.h>

namespace devtest {

using json = nlohmann::json;

reply callText(pkisim::deviceStore& store, const std::string& service, const std::string& method,
               const std::string& requestBody) {
    std::string text;
    reply result;
    result.code = store.handle(service, method, requestBody, text);
    result.body = json::parse(text, nullptr, false);
    EXPECT_TRUE(result.body.is_object()) << method << " answered " << text;
    if (result.code != 0) {
        EXPECT_TRUE(result.body.contains("error") && result.body["error"].is_string())
            << method << " failed without an error text: " << text;
    }
    return result;
}

reply call(pkisim::deviceStore& store, const std::string& service, const std::string& method,
           const json& request) {
    return callText(store, service, method, request.dump());
}

json keyOf(const std::string& devId) {
    return {{"devID", devId}, {"appName", "pkisim"}, {"conName", "sign"}};
}

json signRequest(const std::string& devId, const std::string& data) {
    json request = keyOf(devId);
    request["srcData"] = toBase64(data);
    request["type"] = "3";
    return request;
}

std::string toBase64(const std::string& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]),
                                 reinterpret_cast<const unsigned char*>(bytes.data()),
                                 static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string fromBase64(const std::string& text) {
    std::string bytes(text.size() / 4 * 3 + 3, '\0');
    int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&bytes[0]),
                                 reinterpret_cast<const unsigned char*>(text.data()),
                                 static_cast<int>(text.size()));
    EXPECT_GE(length, 0) << "not Base64: " << text;
    // The block decoder counts the padding as zero bytes.
    size_t padding = text.size() >= 2 && text[text.size() - 2] == '=' ? 2
                     : !text.empty() && text.back() == '='              ? 1
                                                                         : 0;
    bytes.resize(length < 0 ? 0 : static_cast<size_t>(length) - padding);
    return bytes;
}

x509 certFromDer(const std::string& der) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(der.data());
    return x509(d2i_X509(nullptr, &at, static_cast<long>(der.size())));
}

} // namespace devtest
