// The parts of the signing shortcuts that need no service: reading the key
// location text and the signing response, and building the request body
// within its 1023 characters.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "skfAdapter.h"
#include "tessera.h"

namespace {

const std::string untouched = "<untouched>";

// The outputs of a parse joined with "|"; `refused` is what a refusal leaves.
const std::string refused = "<untouched>|<untouched>|<untouched>";

std::string parsedUrl(const std::string& url)
{
    std::string devId = untouched, appName = untouched, conName = untouched;
    const bool accepted = vant::parseUrl(url, devId, appName, conName);
    const std::string outputs = devId + "|" + appName + "|" + conName;
    EXPECT_EQ(accepted, outputs != refused) << url;
    return outputs;
}

std::string parsedResponse(const std::string& body)
{
    std::string signature = untouched, signLen = untouched;
    const bool accepted = vant::parseSignatureResponse(body, signature, signLen);
    const std::string outputs = signature + "|" + signLen + "|" + untouched;
    EXPECT_EQ(accepted, outputs != refused) << body;
    return outputs;
}

struct parseCase {
    const char* what;
    std::string text;
    std::string outputs;
};

TEST(ParseUrl, AcceptsOnlyAnObjectWithTheThreeStringMembers)
{
    const parseCase cases[] = {
        {"plain", R"({"devId":"SIM-RSA-01","applicationName":"pkisim","containerName":"sign"})",
         "SIM-RSA-01|pkisim|sign"},
        {"other order, more members", R"({"x":1,"containerName":"c","devId":"d","applicationName":"a","y":[]})",
         "d|a|c"},
        {"empty names", R"({"devId":"","applicationName":"","containerName":""})", "||"},
        {"escapes are decoded", R"({"devId":"a\"b","applicationName":"c\\d","containerName":"\u00e9"})",
         "a\"b|c\\d|\xc3\xa9"},
        {"devID spelled as in the body", R"({"devID":"d","applicationName":"a","containerName":"c"})", refused},
        {"member missing", R"({"devId":"d","applicationName":"a"})", refused},
        {"member a number", R"({"devId":7,"applicationName":"a","containerName":"c"})", refused},
        {"member null", R"({"devId":"d","applicationName":null,"containerName":"c"})", refused},
        {"an array", R"([{"devId":"d","applicationName":"a","containerName":"c"}])", refused},
        {"a string", R"("devId")", refused},
        {"not JSON", "devId=d;applicationName=a", refused},
        {"truncated JSON", R"({"devId":"d","applicationName":"a","containerName":"c")", refused},
        {"empty text", "", refused},
    };
    for (const parseCase& c : cases)
        EXPECT_EQ(parsedUrl(c.text), c.outputs) << c.what;
}

TEST(ParseSignatureResponse, AcceptsOnlyBothMembersAsStrings)
{
    const parseCase cases[] = {
        {"plain", R"({"strSignature":"AAEC","strSignLen":"3"})", "AAEC|3|<untouched>"},
        {"more members", R"({"errCode":0,"strSignLen":"3","strSignature":"AAEC"})", "AAEC|3|<untouched>"},
        {"empty values", R"({"strSignature":"","strSignLen":""})", "||<untouched>"},
        {"length as a number", R"({"strSignature":"AAEC","strSignLen":3})", refused},
        {"signature missing", R"({"strSignLen":"3"})", refused},
        {"an error instead", R"({"errCode":5,"errMsg":"no such container"})", refused},
        {"not JSON", "<html>busy</html>", refused},
        {"empty body", "", refused},
    };
    for (const parseCase& c : cases)
        EXPECT_EQ(parsedResponse(c.text), c.outputs) << c.what;
}

// The body for `key` and `dataLen` bytes of data, or `untouched` when refused.
std::string bodyFor(const vant::keyLocation& key, size_t dataLen)
{
    const std::string data(dataLen, 'x');
    std::string body = untouched;
    const bool built =
        vant::buildSignRequestBody(key, reinterpret_cast<const unsigned char*>(data.data()), dataLen, body);
    EXPECT_EQ(built, body != untouched);
    return body;
}

TEST(SignRequestBody, HasTheFixedFormForPlainNames)
{
    EXPECT_EQ(bodyFor({"", "", ""}, 0), R"({"devID":"","appName":"","conName":"","srcData":"","type":"3"})");
    EXPECT_EQ(bodyFor({"", "", ""}, 0).size(), 62u);
    EXPECT_EQ(bodyFor({"SIM-RSA-01", "pkisim", "sign"}, 3),
              R"({"devID":"SIM-RSA-01","appName":"pkisim","conName":"sign","srcData":"eHh4","type":"3"})");
}

TEST(SignRequestBody, EscapesNamesSoTheBodyStaysJson)
{
    const vant::keyLocation key{"dev\"ice", "app\\name", "con\ntainer\x01"};
    const nlohmann::json body = nlohmann::json::parse(bodyFor(key, 2));
    EXPECT_EQ(body.at("devID"), key.devId);
    EXPECT_EQ(body.at("appName"), key.appName);
    EXPECT_EQ(body.at("conName"), key.conName);
    EXPECT_EQ(body.at("srcData"), "eHg=");
    EXPECT_EQ(body.at("type"), "3");
    EXPECT_EQ(body.size(), 5u);  // no member smuggled in through a name
}

TEST(SignRequestBody, IsRefusedBeyond1023Characters)
{
    // 961 characters are left for the names and the Base64 text.
    EXPECT_EQ(bodyFor({"", "", ""}, VPKI_SIGN_DATA_MAX).size(), 1022u);
    EXPECT_EQ(bodyFor({"", "", ""}, VPKI_SIGN_DATA_MAX + 1), untouched);

    // 960 Base64 characters leave one for the names: the body is then full.
    EXPECT_EQ(bodyFor({"d", "", ""}, VPKI_SIGN_DATA_MAX).size(), 1023u);
    EXPECT_EQ(bodyFor({"d", "a", ""}, VPKI_SIGN_DATA_MAX), untouched);

    // An escaped name takes its escaped length.
    EXPECT_EQ(bodyFor({"\"", "", ""}, VPKI_SIGN_DATA_MAX), untouched);
    EXPECT_EQ(bodyFor({std::string(961, 'n'), "", ""}, 0).size(), 1023u);
    EXPECT_EQ(bodyFor({std::string(960, 'n'), "\t", ""}, 0), untouched);
}

TEST(SignRequestBody, RefusesAHugeLengthWithoutReadingTheData)
{
    std::string body = untouched;
    const unsigned char oneByte = 'x';
    EXPECT_FALSE(vant::buildSignRequestBody({"", "", ""}, &oneByte, 0xFFFFFFFFu, body));
    EXPECT_FALSE(vant::buildSignRequestBody({"", "", ""}, &oneByte, SIZE_MAX, body));
    EXPECT_EQ(body, untouched);
}

} // namespace
