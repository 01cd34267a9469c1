// The method tables of the four request services: the devices carry out
// every method of the lists in tessera_catalogue.h (which the library's build
// checks against the generated contract), and nothing else.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "deviceOps.h"
#include "tessera_catalogue.h"

namespace {

#define PKISIM_ROUTED_NAME(service, method, msgType) #method,
#define PKISIM_UNROUTED_NAME(service, method) #method,

struct serviceMethods {
    std::string service;
    std::vector<std::string> methods;
};

const std::vector<serviceMethods> requestServices = {
    {"deviceOperator", {VPKI_METHODS_DEV(PKISIM_ROUTED_NAME, PKISIM_UNROUTED_NAME)}},
    {"enrollPlugin", {VPKI_METHODS_ENROLL(PKISIM_ROUTED_NAME, PKISIM_UNROUTED_NAME)}},
    {"signxPlugin", {VPKI_METHODS_SIGNX(PKISIM_ROUTED_NAME, PKISIM_UNROUTED_NAME)}},
    {"vmailPlugin", {VPKI_METHODS_VMAIL(PKISIM_ROUTED_NAME, PKISIM_UNROUTED_NAME)}},
};

TEST(methodTable, everyListedMethodHasAnOperation) {
    for (const serviceMethods& listed : requestServices)
        for (const std::string& method : listed.methods)
            EXPECT_NE(pkisim::findOperation(listed.service, method), nullptr) << listed.service << ":" << method;
}

TEST(methodTable, onlyTheFourRequestServicesAreKnown) {
    for (const serviceMethods& listed : requestServices)
        EXPECT_TRUE(pkisim::hasService(listed.service)) << listed.service;
    EXPECT_FALSE(pkisim::hasService("vantService"));
    EXPECT_FALSE(pkisim::hasService("nope"));
    EXPECT_FALSE(pkisim::hasService(""));
}

TEST(methodTable, methodsOfOtherServicesHaveNoOperation) {
    EXPECT_EQ(pkisim::findOperation("deviceOperator", "signMessage"), nullptr);
    EXPECT_EQ(pkisim::findOperation("vantService", "login"), nullptr);
    EXPECT_EQ(pkisim::findOperation("nope", "getDevices"), nullptr);
}

} // namespace
