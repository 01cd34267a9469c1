#include "serviceMethods.h"

#include <map>
#include <set>
#include <type_traits>

#include "devService.h"
#include "enRollService.h"
#include "signXService.h"
#include "vmailService.h"

namespace pkisim {

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
// every listed name is one: the compiler checks the tables against the contract.
#define PKISIM_CHECK_TABLE(interface, methods)                                        \
    struct interface##Coverage : wire::interface {                                    \
        methods(PKISIM_OVERRIDE)                                                      \
    };                                                                                \
    static_assert(!std::is_abstract_v<interface##Coverage>, "method table of " #interface " is incomplete");

namespace {
PKISIM_CHECK_TABLE(devServiceIf, PKISIM_DEVICE_METHODS)
PKISIM_CHECK_TABLE(enRollServiceIf, PKISIM_ENROLL_METHODS)
PKISIM_CHECK_TABLE(signXServiceIf, PKISIM_SIGNX_METHODS)
PKISIM_CHECK_TABLE(vmailServiceIf, PKISIM_VMAIL_METHODS)

const std::map<std::string, std::set<std::string>>& methodTables() {
    static const std::map<std::string, std::set<std::string>> tables = {
        {"deviceOperator", {PKISIM_DEVICE_METHODS(PKISIM_NAME)}},
        {"enrollPlugin", {PKISIM_ENROLL_METHODS(PKISIM_NAME)}},
        {"signxPlugin", {PKISIM_SIGNX_METHODS(PKISIM_NAME)}},
        {"vmailPlugin", {PKISIM_VMAIL_METHODS(PKISIM_NAME)}},
    };
    return tables;
}
} // namespace

bool isRequestService(const std::string& service) { return methodTables().count(service) != 0; }

bool hasRequestMethod(const std::string& service, const std::string& method) {
    const auto table = methodTables().find(service);
    return table != methodTables().end() && table->second.count(method) != 0;
}

} // namespace pkisim
