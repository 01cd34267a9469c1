#include "deviceTestSupport.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/pem.h>

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

pkey publicKeyFromPem(const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    pkey key(PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    return key;
}

x509 certFromDer(const std::string& der) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(der.data());
    return x509(d2i_X509(nullptr, &at, static_cast<long>(der.size())));
}

namespace {

std::string derFromBlock(const std::string& block) {
    const unsigned char* fields = reinterpret_cast<const unsigned char*>(block.data());
    ECDSA_SIG* sig = ECDSA_SIG_new();
    ECDSA_SIG_set0(sig, BN_bin2bn(fields, 64, nullptr), BN_bin2bn(fields + 64, 64, nullptr));
    unsigned char* der = nullptr;
    int length = i2d_ECDSA_SIG(sig, &der);
    std::string bytes(reinterpret_cast<char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    ECDSA_SIG_free(sig);
    return bytes;
}

} // namespace

bool verifies(EVP_PKEY* key, const std::string& data, const std::string& signature) {
    std::string raw = signature;
    if (EVP_PKEY_is_a(key, "EC")) {
        if (signature.size() != 128)
            return false;
        raw = derFromBlock(signature);
    }
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    bool ok = EVP_DigestVerifyInit(ctx, nullptr, EVP_sha256(), nullptr, key) == 1
              && EVP_DigestVerify(ctx, reinterpret_cast<const unsigned char*>(raw.data()), raw.size(),
                                  reinterpret_cast<const unsigned char*>(data.data()), data.size())
                     == 1;
    EVP_MD_CTX_free(ctx);
    return ok;
}

tempDir::tempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pkisim-devices-XXXXXX").string();
    if (::mkdtemp(&pattern[0]) == nullptr)
        ADD_FAILURE() << "cannot create a temporary directory";
    path_ = pattern;
}

tempDir::~tempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

const std::string& sharedKeyDir() {
    static const tempDir dir;
    return dir.path();
}

} // namespace devtest
