// rsaSignData and eccSignData through the C interface against pkisim:
// signatures that verify with OpenSSL, the request as the service receives
// it, calls refused before anything is sent, and answers that must fail
// with the outputs untouched.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <string>
#include <vector>

#include "recordedCalls.h"
#include "signatureCheck.h"
#include "simServer.h"
#include "tessera.h"

namespace {

const char* const rsaDevice = "SIM-RSA-01";
const char* const eccDevice = "SIM-ECC-01";
const char* const signWire = "signxPlugin:signData";

std::string keyOf(const std::string& devId)
{
    return R"({"devId":")" + devId + R"(","applicationName":"pkisim","containerName":"sign"})";
}

// With the names of the pkisim keys (20 characters) the request has room
// for 941 Base64 characters: 235 groups, 705 bytes.
constexpr uint32_t largestThatFits = 705;

std::string testData(size_t length)
{
    std::string data(length, '\0');
    for (size_t i = 0; i < length; ++i)
        data[i] = static_cast<char>(i * 7 + 1);
    return data;
}

const unsigned char* bytesOf(const std::string& s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

// Output buffers pre-filled with a marker, to see whether a call wrote them.
struct outputs {
    unsigned char signature[4096];
    uint32_t signatureLen = 0xDEADBEEF;
    outputs() { std::memset(signature, 0xA5, sizeof signature); }
    bool untouched() const
    {
        for (unsigned char b : signature)
            if (b != 0xA5)
                return false;
        return signatureLen == 0xDEADBEEF;
    }
    std::string bytes(size_t n) const { return std::string(reinterpret_cast<const char*>(signature), n); }
};

class SignService : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        service = new pkisim::server();
        service->start();
        ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
        ASSERT_TRUE(loginAgent(pkisim::demoAppName, pkisim::demoAppID, pkisim::demoToken));
    }

    static void TearDownTestSuite()
    {
        logoutAgent();
        releaseAgent();
        delete service;
        service = nullptr;
    }

    void SetUp() override
    {
        service->clearFaults();
        service->clearCalls();
    }

    std::vector<pkisim::recordedCall> signCalls() const { return testsupport::callsNamed(*service, signWire); }

    void scriptReply(const std::string& body, int32_t errCode = 0, int count = 1)
    {
        pkisim::fault reply;
        reply.what = pkisim::fault::reply;
        reply.method = signWire;
        reply.count = count;
        reply.errCode = errCode;
        reply.msgType = 16;
        reply.jsonBody = body;
        service->injectFault(reply);
    }

    static pkisim::server* service;
};

pkisim::server* SignService::service = nullptr;

TEST_F(SignService, RsaSignaturesVerifyAgainstTheDeviceCertificate)
{
    const std::string certificate = service->certificatePem(rsaDevice);
    for (uint32_t length : {0u, 1u, 2u, 3u, 4u, 100u, largestThatFits}) {
        const std::string data = testData(length);
        const unsigned char* bytes = length == 0 ? nullptr : bytesOf(data);  // null is fine with no data
        outputs out;
        ASSERT_EQ(rsaSignData(keyOf(rsaDevice).c_str(), bytes, length, out.signature, &out.signatureLen),
                  VPKI_SIGN_OK)
            << length;
        EXPECT_EQ(out.signatureLen, 256u) << length;
        EXPECT_TRUE(signcheck::rsaVerifies(certificate, data, out.bytes(out.signatureLen))) << length;
    }
}

TEST_F(SignService, EccBlocksVerifyAsP256Signatures)
{
    const std::string certificate = service->certificatePem(eccDevice);
    for (uint32_t length : {0u, 1u, 2u, 3u, 4u, 100u, largestThatFits}) {
        const std::string data = testData(length);
        outputs out;
        ASSERT_EQ(eccSignData(keyOf(eccDevice).c_str(), bytesOf(data), length, out.signature), VPKI_SIGN_OK)
            << length;
        EXPECT_TRUE(signcheck::eccBlockVerifies(certificate, data, out.bytes(128))) << length;
        EXPECT_EQ(out.signature[128], 0xA5) << "wrote past the block";
    }
}

TEST_F(SignService, SendsOneSignDataRequestWithTheSpecifiedBody)
{
    outputs out;
    const std::string data = "abc";
    ASSERT_EQ(rsaSignData(keyOf(rsaDevice).c_str(), bytesOf(data), 3, out.signature, &out.signatureLen),
              VPKI_SIGN_OK);
    const auto calls = signCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].msgType, 16);
    EXPECT_EQ(calls[0].version, 1);
    EXPECT_EQ(calls[0].extend, 0);
    EXPECT_EQ(calls[0].jsonBody,
              R"({"devID":"SIM-RSA-01","appName":"pkisim","conName":"sign","srcData":"YWJj","type":"3"})");
}

TEST_F(SignService, NamesWithQuotesReachTheServiceIntact)
{
    outputs out;
    const std::string key = R"({"devId":"SIM\"RSA","applicationName":"a\\b","containerName":"x\",\"type\":\"9"})";
    EXPECT_EQ(rsaSignData(key.c_str(), bytesOf("abc"), 3, out.signature, &out.signatureLen), VPKI_SIGN_FAILED);
    const auto calls = signCalls();
    ASSERT_EQ(calls.size(), 1u);
    const nlohmann::json body = nlohmann::json::parse(calls[0].jsonBody);
    EXPECT_EQ(body.at("devID"), "SIM\"RSA");
    EXPECT_EQ(body.at("appName"), "a\\b");
    EXPECT_EQ(body.at("conName"), "x\",\"type\":\"9");
    EXPECT_EQ(body.at("type"), "3");
    EXPECT_TRUE(out.untouched());
}

TEST_F(SignService, RefusesBadArgumentsWithoutSendingAnything)
{
    const std::string key = keyOf(rsaDevice);
    const std::string data = testData(largestThatFits + 1);
    struct refusal {
        const char* what;
        const char* url;
        const unsigned char* data;
        uint32_t length;
    };
    const refusal cases[] = {
        {"null key location", nullptr, bytesOf(data), 3},
        {"null data with a length", key.c_str(), nullptr, 3},
        {"key location not JSON", "SIM-RSA-01/pkisim/sign", bytesOf(data), 3},
        {"devID instead of devId", R"({"devID":"SIM-RSA-01","applicationName":"pkisim","containerName":"sign"})",
         bytesOf(data), 3},
        {"one byte more than fits", key.c_str(), bytesOf(data), largestThatFits + 1},
        {"a length far beyond the body", key.c_str(), bytesOf(data), 0xFFFFFFFFu},
    };
    testing::internal::CaptureStdout();
    for (const refusal& c : cases) {
        outputs rsa, ecc;
        EXPECT_EQ(rsaSignData(c.url, c.data, c.length, rsa.signature, &rsa.signatureLen), VPKI_SIGN_FAILED) << c.what;
        EXPECT_EQ(eccSignData(c.url, c.data, c.length, ecc.signature), VPKI_SIGN_FAILED) << c.what;
        EXPECT_TRUE(rsa.untouched() && ecc.untouched()) << c.what;
    }
    outputs out;
    EXPECT_EQ(rsaSignData(key.c_str(), bytesOf(data), 3, nullptr, &out.signatureLen), VPKI_SIGN_FAILED);
    EXPECT_EQ(rsaSignData(key.c_str(), bytesOf(data), 3, out.signature, nullptr), VPKI_SIGN_FAILED);
    EXPECT_EQ(eccSignData(key.c_str(), bytesOf(data), 3, nullptr), VPKI_SIGN_FAILED);
    EXPECT_TRUE(out.untouched());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(signCalls().empty());
}

TEST_F(SignService, AnswersWithoutAValidSignatureFailAndLeaveOutputsUntouched)
{
    struct badAnswer {
        const char* what;
        std::string body;
        int32_t errCode;
    };
    const badAnswer cases[] = {
        {"not JSON", "Internal error", 0},
        {"not an object", R"(["AAEC","3"])", 0},
        {"signature missing", R"({"strSignLen":"3"})", 0},
        {"length missing", R"({"strSignature":"AAEC"})", 0},
        {"length not a string", R"({"strSignature":"AAEC","strSignLen":3})", 0},
        {"an error body", R"({"error":"no such container"})", 5},
        {"an error body with errCode 0", R"({"error":"no such container"})", 0},
        {"empty signature", R"({"strSignature":"","strSignLen":"0"})", 0},
        {"signature of bad length", R"({"strSignature":"AAECA","strSignLen":"3"})", 0},
        {"length disagrees", R"({"strSignature":"AAEC","strSignLen":"4"})", 0},
        {"length not a number", R"({"strSignature":"AAEC","strSignLen":"three"})", 0},
        {"signature beyond the decoder", R"({"strSignature":")" + std::string(5464, 'A') + R"(","strSignLen":"4098"})",
         0},
    };
    testing::internal::CaptureStdout();
    for (const badAnswer& c : cases) {
        scriptReply(c.body, c.errCode, 2);
        outputs rsa, ecc;
        EXPECT_EQ(rsaSignData(keyOf(rsaDevice).c_str(), bytesOf("abc"), 3, rsa.signature, &rsa.signatureLen),
                  VPKI_SIGN_FAILED)
            << c.what;
        EXPECT_EQ(eccSignData(keyOf(eccDevice).c_str(), bytesOf("abc"), 3, ecc.signature), VPKI_SIGN_FAILED)
            << c.what;
        EXPECT_TRUE(rsa.untouched() && ecc.untouched()) << c.what;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(SignService, AShortSignatureIsReturnedAsTheServiceSentIt)
{
    // The service's word is final, whatever its errCode says.
    scriptReply(R"({"strSignature":"AAEC","strSignLen":" 3"})", 7, 2);
    outputs rsa, ecc;
    ASSERT_EQ(rsaSignData(keyOf(rsaDevice).c_str(), bytesOf("abc"), 3, rsa.signature, &rsa.signatureLen),
              VPKI_SIGN_OK);
    EXPECT_EQ(rsa.signatureLen, 3u);
    EXPECT_EQ(rsa.bytes(4), std::string("\x00\x01\x02\xA5", 4));

    ASSERT_EQ(eccSignData(keyOf(eccDevice).c_str(), bytesOf("abc"), 3, ecc.signature), VPKI_SIGN_OK);
    EXPECT_EQ(ecc.bytes(129), std::string("\x00\x01\x02", 3) + std::string(125, '\0') + "\xA5");
}

TEST_F(SignService, EccRefusesASignatureLongerThanItsBlock)
{
    const std::string longBlock = std::string(172, 'A') + "AA==";  // 130 bytes
    scriptReply(R"({"strSignature":")" + longBlock + R"(","strSignLen":"130"})");
    outputs ecc;
    EXPECT_EQ(eccSignData(keyOf(eccDevice).c_str(), bytesOf("abc"), 3, ecc.signature), VPKI_SIGN_FAILED);
    EXPECT_TRUE(ecc.untouched());
}

TEST_F(SignService, AFailedExchangeIsReportedByRsaOnly)
{
    pkisim::fault broken;
    broken.what = pkisim::fault::exception;
    broken.method = signWire;
    broken.count = 2;
    service->injectFault(broken);

    outputs rsa, ecc;
    testing::internal::CaptureStdout();
    EXPECT_EQ(rsaSignData(keyOf(rsaDevice).c_str(), bytesOf("abc"), 3, rsa.signature, &rsa.signatureLen),
              VPKI_SIGN_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "call reqSync failrue for rsaSignData.\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(eccSignData(keyOf(eccDevice).c_str(), bytesOf("abc"), 3, ecc.signature), VPKI_SIGN_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(rsa.untouched() && ecc.untouched());
}

TEST(SignWithoutSession, RsaSaysSoAndEccFailsSilently)
{
    outputs rsa, ecc;
    testing::internal::CaptureStdout();
    EXPECT_EQ(rsaSignData(keyOf(rsaDevice).c_str(), bytesOf("abc"), 3, rsa.signature, &rsa.signatureLen),
              VPKI_SIGN_FAILED);
    EXPECT_EQ(eccSignData(keyOf(eccDevice).c_str(), bytesOf("abc"), 3, ecc.signature), VPKI_SIGN_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "call reqSync failrue for rsaSignData.\n");
    EXPECT_TRUE(rsa.untouched() && ecc.untouched());
}

} // namespace
