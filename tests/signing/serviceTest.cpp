// rsaSignData and eccSignData through the C interface against pkisim:
// signatures that verify with OpenSSL, calls refused before anything is sent,
// and answers that must fail with the outputs untouched.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "signatureCheck.h"
#include "simServer.h"
#include "simSupport.h"
#include "tempDir.h"
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

uint32_t rsaSign(const std::string& key, const std::string& data, outputs& out)
{
    return rsaSignData(key.c_str(), bytesOf(data), static_cast<uint32_t>(data.size()), out.signature,
                       &out.signatureLen);
}

uint32_t eccSign(const std::string& key, const std::string& data, outputs& out)
{
    return eccSignData(key.c_str(), bytesOf(data), static_cast<uint32_t>(data.size()), out.signature);
}

class signService : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        pkisim::options options;
        options.keyDir = testsupport::sharedKeyDir();
        service = new pkisim::server(options);
        service->start();
        ASSERT_TRUE(createAgent(nullptr, nullptr, nullptr));
        ASSERT_TRUE(loginAgent(pkisim::demoAppName, pkisim::demoAppID, pkisim::demoToken));
    }

    static void TearDownTestSuite()
    {
        releaseAgent();
        delete service;
        service = nullptr;
    }

    void SetUp() override
    {
        service->clearFaults();
        service->clearCalls();
    }

    size_t signCalls() const { return testsupport::callsNamed(*service, signWire).size(); }

    // The next two signing requests are answered with `body` and `errCode`.
    void answerTwiceWith(const std::string& body, int32_t errCode = VPKI_RESULT_OK)
    {
        pkisim::fault reply = testsupport::replyOf(signWire, errCode, body);
        reply.count = 2;
        reply.msgType = VPKI_SIGNX_signData;
        service->injectFault(reply);
    }

    static pkisim::server* service;
};

pkisim::server* signService::service = nullptr;

TEST_F(signService, signaturesOfBothKeyTypesVerifyAgainstTheDeviceCertificate)
{
    for (uint32_t length : {0u, 1u, 2u, 3u, 4u, 100u, largestThatFits}) {
        SCOPED_TRACE(length);
        std::string data(length, '\0');
        for (size_t i = 0; i < length; ++i)
            data[i] = static_cast<char>(i * 7 + 1);
        outputs rsa, ecc;
        const unsigned char* bytes = length == 0 ? nullptr : bytesOf(data); // null is fine with no data
        ASSERT_EQ(rsaSignData(keyOf(rsaDevice).c_str(), bytes, length, rsa.signature, &rsa.signatureLen), VPKI_SIGN_OK);
        EXPECT_EQ(rsa.signatureLen, 256u);
        EXPECT_TRUE(signcheck::rsaVerifies(service->certificatePem(rsaDevice), data, rsa.bytes(256)));
        ASSERT_EQ(eccSign(keyOf(eccDevice), data, ecc), VPKI_SIGN_OK);
        EXPECT_TRUE(signcheck::eccBlockVerifies(service->certificatePem(eccDevice), data, ecc.bytes(128)));
        EXPECT_EQ(ecc.signature[128], 0xA5) << "wrote past the block";
    }
    EXPECT_EQ(signCalls(), 14u) << "one request per signature";
}

TEST_F(signService, badArgumentsAreRefusedWithoutSendingAnything)
{
    const std::string key = keyOf(rsaDevice);
    const std::string data(largestThatFits + 1, 'd');
    const struct {
        const char* what;
        const char* url;
        const unsigned char* data;
        uint32_t length;
    } cases[] = {
        {"null key location", nullptr, bytesOf(data), 3},
        {"null data with a length", key.c_str(), nullptr, 3},
        {"key location not JSON", "SIM-RSA-01/pkisim/sign", bytesOf(data), 3},
        {"devID instead of devId", R"({"devID":"SIM-RSA-01","applicationName":"pkisim","containerName":"sign"})",
         bytesOf(data), 3},
        {"a name that is no string", R"({"devId":"SIM-RSA-01","applicationName":null,"containerName":"sign"})",
         bytesOf(data), 3},
        {"one byte more than fits", key.c_str(), bytesOf(data), largestThatFits + 1},
        {"a length far beyond the data", key.c_str(), bytesOf(data), 0xFFFFFFFFu},
    };
    testing::internal::CaptureStdout();
    for (const auto& c : cases) {
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
    EXPECT_EQ(signCalls(), 0u);
}

TEST_F(signService, answersWithoutAValidSignatureFailAndLeaveOutputsUntouched)
{
    const struct {
        const char* what;
        std::string body;
        int32_t errCode;
    } cases[] = {
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
    for (const auto& c : cases) {
        answerTwiceWith(c.body, c.errCode);
        outputs rsa, ecc;
        EXPECT_EQ(rsaSign(keyOf(rsaDevice), "abc", rsa), VPKI_SIGN_FAILED) << c.what;
        EXPECT_EQ(eccSign(keyOf(eccDevice), "abc", ecc), VPKI_SIGN_FAILED) << c.what;
        EXPECT_TRUE(rsa.untouched() && ecc.untouched()) << c.what;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(signService, aShortSignatureIsReturnedAsSentAndALongOneNeverPastTheEccBlock)
{
    // The service's word is final, whatever its errCode says.
    answerTwiceWith(R"({"strSignature":"AAEC","strSignLen":" 3"})", 7);
    outputs rsa, ecc;
    ASSERT_EQ(rsaSign(keyOf(rsaDevice), "abc", rsa), VPKI_SIGN_OK);
    EXPECT_EQ(rsa.signatureLen, 3u);
    EXPECT_EQ(rsa.bytes(4), std::string("\x00\x01\x02\xA5", 4));
    ASSERT_EQ(eccSign(keyOf(eccDevice), "abc", ecc), VPKI_SIGN_OK);
    EXPECT_EQ(ecc.bytes(129), std::string("\x00\x01\x02", 3) + std::string(125, '\0') + "\xA5");

    const std::string longBlock = std::string(172, 'A') + "AA=="; // 130 bytes
    answerTwiceWith(R"({"strSignature":")" + longBlock + R"(","strSignLen":"130"})");
    outputs tooLong;
    EXPECT_EQ(eccSign(keyOf(eccDevice), "abc", tooLong), VPKI_SIGN_FAILED);
    EXPECT_TRUE(tooLong.untouched());
}

TEST(signWithoutSession, rsaSaysSoOnStandardOutputAndEccFailsSilently)
{
    outputs rsa, ecc;
    testing::internal::CaptureStdout();
    EXPECT_EQ(rsaSign(keyOf(rsaDevice), "abc", rsa), VPKI_SIGN_FAILED);
    EXPECT_EQ(eccSign(keyOf(eccDevice), "abc", ecc), VPKI_SIGN_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "call reqSync failrue for rsaSignData.\n");
    EXPECT_TRUE(rsa.untouched() && ecc.untouched());
}

void keepLine(const char* line, void* param)
{
    static_cast<std::vector<std::string>*>(param)->emplace_back(line);
}

TEST(signWithoutSession, withALoggerTheLineGoesToItAndNotToStandardOutput)
{
    std::vector<std::string> lines;
    setAgentLogger(keepLine, &lines);
    outputs rsa;
    testing::internal::CaptureStdout();
    EXPECT_EQ(rsaSign(keyOf(rsaDevice), "abc", rsa), VPKI_SIGN_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    setAgentLogger(nullptr, nullptr);
    EXPECT_EQ(lines, std::vector<std::string>{"call reqSync failrue for rsaSignData."});
}

} // namespace
