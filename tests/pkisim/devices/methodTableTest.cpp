// The method tables of the four request services against the generated
// service interfaces: the compiler checks that the lists below name exactly
// the methods of each interface, and the tests that the devices carry out
// every one of them.
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "devService.h"
#include "deviceOps.h"
#include "enRollService.h"
#include "signXService.h"
#include "vmailService.h"

namespace {

namespace wire = ::com::vant::cbb::pkimid;

#define PKISIM_DEVICE_METHODS(X)                                                                     \
    X(getDevices) X(getDevInfo) X(setDevLable) X(transMitData) X(devAuth) X(changeAuthKey)         \
    X(getPINInfo) X(changePIN) X(verifyPIN) X(unlockPIN) X(getAppList) X(createApp) X(delApp)       \
    X(getContainers) X(createContainer) X(delContainer) X(openContainer) X(closeContainer)          \
    X(getContainerType) X(importCertificate) X(exportCertificate) X(getAllCert) X(exportPublicKey)  \
    X(extPubKeyEncrypt) X(extPriKeyDecrypt) X(initFinger) X(hasFinger) X(verifyFinger)              \
    X(cancleFinger) X(getProviders) X(setProvider) X(findCert)

#define PKISIM_ENROLL_METHODS(X)                                                                     \
    X(makePkcs10) X(genKeypair) X(importEncKeypair) X(importX509Cert) X(importPfxCert) X(getCert)  \
    X(importPfx2SkfFile)

#define PKISIM_SIGNX_METHODS(X)                                                                      \
    X(signData) X(verifySignData) X(signMessage) X(verifyMessage) X(extECCVerify) X(extECCVerifyEx) \
    X(dupCertWithTemplate) X(parseCert) X(getExtension) X(envelopeEncrypt) X(envelopeDecrypt)       \
    X(verifySignedMessage)

#define PKISIM_VMAIL_METHODS(X)                                                                      \
    X(setTextBody) X(getTextBody) X(setHtmlBody) X(getHtmlBody) X(compose) X(getComposedData)       \
    X(prepareParse) X(parse) X(clear) X(addAttachFile) X(getAttachCount) X(getAttachFileInfo)       \
    X(doAttachSaveAs) X(getAttachFieldInfo) X(setMailType) X(getMailType) X(setEncCerts)            \
    X(getMailSigner) X(getSignCert) X(getCertItem) X(GetAllConUrl) X(signData)

#define PKISIM_NAME(method) #method,
#define PKISIM_OVERRIDE(method) \
    void method(wire::msgResponse&, const wire::sessionTicket&, const wire::msgRequest&) override {}

// A class that overrides exactly the listed methods is concrete only when the
// list names every method of the generated interface, and compiles only when
// every listed name is one: the compiler checks the lists against the interfaces.
#define PKISIM_CHECK_TABLE(interface, methods)                                        \
    struct interface##Coverage : wire::interface {                                    \
        methods(PKISIM_OVERRIDE)                                                      \
    };                                                                                \
    static_assert(!std::is_abstract_v<interface##Coverage>, "method list of " #interface " is incomplete");

PKISIM_CHECK_TABLE(devServiceIf, PKISIM_DEVICE_METHODS)
PKISIM_CHECK_TABLE(enRollServiceIf, PKISIM_ENROLL_METHODS)
PKISIM_CHECK_TABLE(signXServiceIf, PKISIM_SIGNX_METHODS)
PKISIM_CHECK_TABLE(vmailServiceIf, PKISIM_VMAIL_METHODS)

struct serviceMethods {
    std::string service;
    std::vector<std::string> methods;
};

const std::vector<serviceMethods> requestServices = {
    {"deviceOperator", {PKISIM_DEVICE_METHODS(PKISIM_NAME)}},
    {"enrollPlugin", {PKISIM_ENROLL_METHODS(PKISIM_NAME)}},
    {"signxPlugin", {PKISIM_SIGNX_METHODS(PKISIM_NAME)}},
    {"vmailPlugin", {PKISIM_VMAIL_METHODS(PKISIM_NAME)}},
};

TEST(methodTable, everyMethodOfTheInterfacesHasAnOperation) {
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
