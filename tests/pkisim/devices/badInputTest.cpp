// Malformed and misdirected requests: each gets its errCode and an error text.
#include <gtest/gtest.h>

#include "cryptoEncoding.h"
#include "deviceTestSupport.h"

namespace {

using json = nlohmann::json;

struct badCase {
    const char* what;
    const char* service;
    const char* method;
    std::string body;
    int32_t code;
};

const std::string rsaKey = R"("devID":"SIM-RSA-01","appName":"pkisim","conName":"sign")";

std::string withKey(const std::string& members) {
    return "{" + rsaKey + (members.empty() ? "" : "," + members) + "}";
}

std::vector<badCase> badCases() {
    return {
        {"body not JSON", "signxPlugin", "signData", "{\"devID\":", 4},
        {"body an array", "deviceOperator", "getDevices", "[1,2]", 4},
        {"deeply nested body", "deviceOperator", "getDevices",
         std::string(100000, '[') + std::string(100000, ']'), 4},
        {"body too large", "signxPlugin", "signData",
         withKey("\"srcData\":\"" + std::string(17u << 20, 'A') + "\""), 4},
        {"unescaped quote in a name", "signxPlugin", "signData",
         R"({"devID":"SIM"RSA","appName":"pkisim","conName":"sign","srcData":"","type":"3"})", 4},
        {"srcData missing", "signxPlugin", "signData", withKey(R"("type":"3")"), 4},
        {"srcData a number", "signxPlugin", "signData", withKey(R"("srcData":12,"type":"3")"), 4},
        {"srcData not a multiple of 4", "signxPlugin", "signData", withKey(R"("srcData":"QUJ","type":"3")"), 4},
        {"srcData with a bad character", "signxPlugin", "signData", withKey(R"("srcData":"QU*D","type":"3")"), 4},
        {"srcData with a line break", "signxPlugin", "signData", withKey(R"("srcData":"QUJD\nQUJD","type":"3")"), 4},
        {"srcData padded in the middle", "signxPlugin", "signData", withKey(R"("srcData":"QQ==QUJD","type":"3")"), 4},
        {"type a number", "signxPlugin", "signData", withKey(R"("srcData":"","type":3)"), 4},
        {"type unknown", "signxPlugin", "signData", withKey(R"("srcData":"","type":"7")"), 11},
        {"devID a number", "signxPlugin", "signData",
         R"({"devID":1,"appName":"pkisim","conName":"sign","srcData":""})", 4},
        {"unknown device", "signxPlugin", "signData",
         R"({"devID":"SIM-XYZ","appName":"pkisim","conName":"sign","srcData":""})", 5},
        {"unknown application", "signxPlugin", "signData",
         R"({"devID":"SIM-RSA-01","appName":"none","conName":"sign","srcData":""})", 5},
        {"unknown container", "signxPlugin", "signData",
         R"({"devID":"SIM-RSA-01","appName":"pkisim","conName":"none","srcData":""})", 5},
        {"signature not Base64", "signxPlugin", "verifySignData", withKey(R"("srcData":"","signature":"@@@@")"), 4},
        {"unknown method", "deviceOperator", "signData", "{}", 4},
        {"unknown service", "vantService", "login", "{}", 4},
        {"simulated method, body not JSON", "vmailPlugin", "compose", "nonsense", 4},
        {"pinType out of range", "deviceOperator", "getPINInfo",
         R"({"devID":"SIM-RSA-01","appName":"pkisim","pinType":2})", 4},
        {"pinType huge", "deviceOperator", "getPINInfo",
         R"({"devID":"SIM-RSA-01","appName":"pkisim","pinType":18446744073709551615})", 4},
        {"pinType a string", "deviceOperator", "getPINInfo",
         R"({"devID":"SIM-RSA-01","appName":"pkisim","pinType":"1"})", 4},
        {"label missing", "deviceOperator", "setDevLable", R"({"devID":"SIM-RSA-01"})", 4},
        {"empty container name", "deviceOperator", "createContainer",
         R"({"devID":"SIM-RSA-01","appName":"pkisim","conName":""})", 4},
        {"application PIN too short", "deviceOperator", "createApp",
         R"({"devID":"SIM-RSA-01","appName":"a","adminPin":"1","userPin":"123456"})", 4},
        {"retry count zero", "deviceOperator", "createApp",
         R"({"devID":"SIM-RSA-01","appName":"a","adminPin":"12345678","userPin":"123456","userRetryCount":0})", 4},
        {"certificate garbage", "deviceOperator", "importCertificate", withKey(R"("cert":"QUJD")"), 4},
        {"certificate PEM garbage", "signxPlugin", "parseCert",
         R"({"cert":"-----BEGIN CERTIFICATE-----\nQUJD\n-----END CERTIFICATE-----\n"})", 4},
        {"subject malformed", "enrollPlugin", "makePkcs10", withKey(R"("subject":"CN")"), 4},
        {"subject unknown attribute", "enrollPlugin", "makePkcs10", withKey(R"("subject":"XX=1")"), 4},
        {"key type unsupported", "enrollPlugin", "genKeypair", withKey(R"("keyType":"DSA")"), 11},
    };
}

TEST(badInputTest, everyBadRequestGetsItsCodeAndAnErrorText) {
    pkisim::deviceStore store(devtest::sharedKeyDir());
    for (const badCase& c : badCases()) {
        SCOPED_TRACE(c.what);
        devtest::reply r = devtest::callText(store, c.service, c.method, c.body);
        EXPECT_EQ(r.code, c.code) << r.body.dump();
    }
    // Nothing above changed the devices.
    std::string reply;
    EXPECT_EQ(store.handle("signxPlugin", "signData", withKey(R"("srcData":"","type":"3")"), reply), 0);
    EXPECT_EQ(store.list().size(), 2u);
}

TEST(badInputTest, emptyBodyCountsAsAnEmptyObject) {
    pkisim::deviceStore store(devtest::sharedKeyDir());
    EXPECT_EQ(devtest::callText(store, "deviceOperator", "getDevices", " \n").code, 0);
    EXPECT_EQ(devtest::callText(store, "deviceOperator", "getDevInfo", "").code, 4) << "devID is needed";
}

TEST(badInputTest, base64DecoderIsStrict) {
    EXPECT_EQ(pkisim::base64Decode(""), std::string());
    EXPECT_EQ(pkisim::base64Decode("Zg=="), std::string("f"));
    EXPECT_EQ(pkisim::base64Decode("Zm8="), std::string("fo"));
    EXPECT_EQ(pkisim::base64Decode("Zm9v"), std::string("foo"));
    EXPECT_EQ(pkisim::base64Decode("AP8A"), std::string("\0\xff\0", 3));
    for (const char* bad : {"Zg=", "Zh==", "Zm9=", "Z===", "====", "Zg==Zg==", "Zm9v ", "Zm-v"})
        EXPECT_FALSE(pkisim::base64Decode(bad)) << bad;
    EXPECT_EQ(pkisim::base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(pkisim::base64Encode(std::string("\xfb\xff", 2)), "+/8=");
}

} // namespace
