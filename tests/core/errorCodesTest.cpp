// The failure codes are compiled into applications: their values never
// change, and each has a text of its own.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tessera.h"

namespace {

static_assert(VPKI_OK == 0 && VPKI_ERR_NOT_CREATED == 1 && VPKI_ERR_NOT_LOGGED_IN == 2 && VPKI_ERR_BAD_ARGUMENT == 3 &&
                  VPKI_ERR_CANNOT_CONNECT == 4 && VPKI_ERR_TIMED_OUT == 5 && VPKI_ERR_INTERRUPTED == 6 &&
                  VPKI_ERR_CONNECTION_LOST == 7 && VPKI_ERR_HTTP_STATUS == 8 && VPKI_ERR_DAMAGED_REPLY == 9 &&
                  VPKI_ERR_SERVICE_EXCEPTION == 10 && VPKI_ERR_REPLY_TOO_LARGE == 11 && VPKI_ERR_LOGIN_REFUSED == 12 &&
                  VPKI_ERR_SERVICE_ERROR == 13 && VPKI_ERR_NO_RESOURCES == 14 && VPKI_ERR_UNTRUSTED_SERVICE == 15 &&
                  VPKI_ERR_IN_CALLBACK == 16,
              "the published values");

TEST(errorCodes, everyCodeHasATextOfItsOwnAndOtherValuesNone)
{
    std::set<std::string> texts;
    int count = 0;
#define COUNT_CODE(name, code, text)                                   \
    EXPECT_STREQ(agentErrorString(code), text) << #name;               \
    EXPECT_TRUE(texts.insert(agentErrorString(code)).second) << #name; \
    ++count;
    VPKI_ERRORS(COUNT_CODE)
#undef COUNT_CODE
    EXPECT_EQ(count, VPKI_ERR_IN_CALLBACK + 1);
    EXPECT_STREQ(agentErrorString(VPKI_ERR_CANNOT_CONNECT), "cannot connect");
    for (int other : {-1, VPKI_ERR_IN_CALLBACK + 1, 1000})
        EXPECT_STREQ(agentErrorString(other), "unknown error") << other;
}

} // namespace
