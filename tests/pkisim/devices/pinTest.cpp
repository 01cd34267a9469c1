// PIN retry counters, locking and unlocking.
#include <gtest/gtest.h>

#include "deviceTestSupport.h"

namespace {

using json = nlohmann::json;
using devtest::call;

constexpr int admin = 0;
constexpr int user = 1;

class pinTest : public ::testing::Test {
protected:
    pkisim::deviceStore store{devtest::sharedKeyDir()};

    json app() const { return {{"devID", "SIM-RSA-01"}, {"appName", "pkisim"}}; }

    devtest::reply verify(int pinType, const std::string& pin) {
        json request = app();
        request["pinType"] = pinType;
        request["pin"] = pin;
        return call(store, "deviceOperator", "verifyPIN", request);
    }

    json info(int pinType) {
        json request = app();
        request["pinType"] = pinType;
        devtest::reply r = call(store, "deviceOperator", "getPINInfo", request);
        EXPECT_EQ(r.code, 0);
        return r.body;
    }

    devtest::reply unlock(const std::string& adminPin, const std::string& newUserPin) {
        json request = app();
        request["adminPin"] = adminPin;
        request["newUserPin"] = newUserPin;
        return call(store, "deviceOperator", "unlockPIN", request);
    }
};

TEST_F(pinTest, defaultPinsAreAcceptedAndReported) {
    EXPECT_EQ(info(admin), json({{"pinType", 0}, {"maxRetryCount", 10}, {"remainRetryCount", 10},
                                 {"defaultPin", true}}));
    EXPECT_EQ(info(user)["maxRetryCount"], 6);
    EXPECT_EQ(verify(admin, "12345678").code, 0);
    EXPECT_EQ(verify(user, "123456").body, json({{"verified", true}}));
}

TEST_F(pinTest, wrongPinsCountDownAndACorrectOneRestores) {
    devtest::reply wrong = verify(user, "000000");
    EXPECT_EQ(wrong.code, 8);
    EXPECT_EQ(wrong.body["remainRetryCount"], 5);
    EXPECT_EQ(verify(user, "000000").body["remainRetryCount"], 4);
    EXPECT_EQ(info(user)["remainRetryCount"], 4);
    EXPECT_EQ(info(admin)["remainRetryCount"], 10) << "the other PIN keeps its count";
    EXPECT_EQ(verify(user, "123456").code, 0);
    EXPECT_EQ(info(user)["remainRetryCount"], 6);
}

TEST_F(pinTest, lastRetryLocksUntilTheAdministratorUnlocks) {
    for (int remaining = 5; remaining > 0; --remaining)
        EXPECT_EQ(verify(user, "000000").code, 8);
    devtest::reply locking = verify(user, "000000");
    EXPECT_EQ(locking.code, 9);
    EXPECT_EQ(locking.body["remainRetryCount"], 0);
    EXPECT_EQ(verify(user, "123456").code, 9) << "a locked PIN refuses even the right one";

    devtest::reply refused = unlock("87654321", "654321");
    EXPECT_EQ(refused.code, 8);
    EXPECT_EQ(refused.body["remainRetryCount"], 9) << "a wrong admin PIN costs an admin retry";
    EXPECT_EQ(verify(user, "123456").code, 9);

    EXPECT_EQ(unlock("12345678", "654321").code, 0);
    EXPECT_EQ(info(admin)["remainRetryCount"], 10);
    json userInfo = info(user);
    EXPECT_EQ(userInfo["remainRetryCount"], 6);
    EXPECT_EQ(userInfo["defaultPin"], false);
    EXPECT_EQ(verify(user, "123456").code, 8) << "the old user PIN is gone";
    EXPECT_EQ(verify(user, "654321").code, 0);
}

TEST_F(pinTest, lockedAdminPinCannotUnlock) {
    for (int attempt = 0; attempt < 10; ++attempt)
        verify(admin, "wrong-pin");
    EXPECT_EQ(info(admin)["remainRetryCount"], 0);
    EXPECT_EQ(unlock("12345678", "654321").code, 9);
    EXPECT_EQ(verify(user, "123456").code, 0) << "the user PIN stays as it was";
}

TEST_F(pinTest, changePinNeedsTheOldPinAndAValidNewOne) {
    json request = app();
    request["pinType"] = user;
    request["oldPin"] = "123456";
    request["newPin"] = "12345";  // too short: refused before the old PIN is tried
    EXPECT_EQ(call(store, "deviceOperator", "changePIN", request).code, 4);
    EXPECT_EQ(info(user)["remainRetryCount"], 6);

    request["oldPin"] = "999999";
    request["newPin"] = "24682468";
    EXPECT_EQ(call(store, "deviceOperator", "changePIN", request).code, 8);
    EXPECT_EQ(verify(user, "24682468").code, 8);

    request["oldPin"] = "123456";
    EXPECT_EQ(call(store, "deviceOperator", "changePIN", request).code, 0);
    EXPECT_EQ(verify(user, "24682468").code, 0);
    EXPECT_EQ(info(user)["defaultPin"], false);
}

TEST_F(pinTest, newApplicationsHaveTheirOwnPins) {
    json request = {{"devID", "SIM-ECC-01"}, {"appName", "mail"}, {"adminPin", "admin-pin"},
                    {"userPin", "user-pin"}, {"userRetryCount", 2}};
    ASSERT_EQ(call(store, "deviceOperator", "createApp", request).code, 0);
    json verifyRequest = {{"devID", "SIM-ECC-01"}, {"appName", "mail"}, {"pinType", user},
                          {"pin", "123456"}};
    EXPECT_EQ(call(store, "deviceOperator", "verifyPIN", verifyRequest).body["remainRetryCount"], 1);
    verifyRequest["pin"] = "user-pin";
    EXPECT_EQ(call(store, "deviceOperator", "verifyPIN", verifyRequest).code, 0);
    EXPECT_EQ(verify(user, "123456").code, 0) << "the default application is untouched";
}

} // namespace
