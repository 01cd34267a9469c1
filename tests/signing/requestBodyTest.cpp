// The signing request's body: a fixed form within 1023 characters, names
// counted as escaped, and a huge data length refused without reading the data.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "skfAdapter.h"
#include "tessera.h"

namespace {

const std::string refused = "<refused>";

// The body for `key` and `dataLen` bytes of data, or `refused`.
std::string bodyFor(const vant::keyLocation& key, size_t dataLen)
{
    const std::string data(dataLen, 'x');
    std::string body = refused;
    const bool built =
        vant::buildSignRequestBody(key, reinterpret_cast<const unsigned char*>(data.data()), dataLen, body);
    EXPECT_EQ(built, body != refused);
    return body;
}

TEST(requestBody, hasTheFixedForm)
{
    EXPECT_EQ(bodyFor({"SIM-RSA-01", "pkisim", "sign"}, 3),
              R"({"devID":"SIM-RSA-01","appName":"pkisim","conName":"sign","srcData":"eHh4","type":"3"})");
}

TEST(requestBody, isRefusedBeyond1023Characters)
{
    // 961 characters are left for the names and the Base64 text.
    EXPECT_EQ(bodyFor({"", "", ""}, VPKI_SIGN_DATA_MAX).size(), 1022u);
    EXPECT_EQ(bodyFor({"", "", ""}, VPKI_SIGN_DATA_MAX + 1), refused);

    // 960 Base64 characters leave one for the names: the body is then full.
    EXPECT_EQ(bodyFor({"d", "", ""}, VPKI_SIGN_DATA_MAX).size(), 1023u);
    EXPECT_EQ(bodyFor({"d", "a", ""}, VPKI_SIGN_DATA_MAX), refused);

    // An escaped name takes its escaped length.
    EXPECT_EQ(bodyFor({"\"", "", ""}, VPKI_SIGN_DATA_MAX), refused);
    EXPECT_EQ(bodyFor({std::string(961, 'n'), "", ""}, 0).size(), 1023u);
    EXPECT_EQ(bodyFor({std::string(960, 'n'), "\t", ""}, 0), refused);
}

TEST(requestBody, aHugeLengthIsRefusedWithoutReadingTheData)
{
    std::string body = refused;
    const unsigned char oneByte = 'x';
    EXPECT_FALSE(vant::buildSignRequestBody({"", "", ""}, &oneByte, 0xFFFFFFFFu, body));
    EXPECT_FALSE(vant::buildSignRequestBody({"", "", ""}, &oneByte, SIZE_MAX, body));
    EXPECT_EQ(body, refused);
}

} // namespace
