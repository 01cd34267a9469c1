#include "catalogue.h"

#include <cstring>

namespace vant {
namespace {

// PKI_SERVICE values, spelled out here so that the table reads on its own.
constexpr int enroll = 0;
constexpr int dev = 1;
constexpr int signx = 2;
constexpr int vmail = 3;

const catalogueEntry entries[] = {
    {enroll, 32, "makePkcs10"},
    {enroll, 33, "genKeypair"},
    {enroll, 34, "importEncKeypair"},
    {enroll, 35, "importX509Cert"},
    {enroll, 36, "importPfxCert"},
    {enroll, 37, "getCert"},

    {dev, 16, "getDevices"},
    {dev, 17, "getDevInfo"},
    {dev, 18, "setDevLable"},
    {dev, 19, "transMitData"},
    {dev, 20, "devAuth"},
    {dev, 21, "changeAuthKey"},
    {dev, 22, "getPINInfo"},
    {dev, 23, "changePIN"},
    {dev, 24, "verifyPIN"},
    {dev, 25, "unlockPIN"},
    {dev, 26, "getAppList"},
    {dev, 27, "createApp"},
    {dev, 28, "delApp"},
    {dev, 29, "getContainers"},
    {dev, 30, "createContainer"},
    {dev, 31, "delContainer"},
    {dev, 32, "getContainerType"},
    {dev, 33, "importCertificate"},
    {dev, 34, "exportCertificate"},
    {dev, 35, "exportPublicKey"},
    {dev, 36, "getProviders"},
    {dev, 37, "setProvider"},
    {dev, 38, "extPubKeyEncrypt"},
    {dev, 39, "extPriKeyDecrypt"},
    {dev, 40, "getAllCert"},

    {signx, signxSignDataMsgType, "signData"},
    {signx, 17, "verifySignData"},
    {signx, 18, "signMessage"},
    {signx, 19, "verifyMessage"},
    {signx, 20, "extECCVerify"},
    {signx, 21, "extECCVerifyEx"},
    {signx, 22, "dupCertWithTemplate"},
    {signx, 23, "parseCert"},
    {signx, 24, "envelopeEncrypt"},
    {signx, 25, "envelopeDecrypt"},
    {signx, 26, "verifySignedMessage"},
    {signx, 27, "getExtension"},

    {vmail, 16, "setTextBody"},
    {vmail, 17, "getTextBody"},
    {vmail, 18, "setHtmlBody"},
    {vmail, 19, "getHtmlBody"},
    {vmail, 20, "compose"},
    {vmail, 21, "getComposedData"},
    {vmail, 22, "prepareParse"},
    {vmail, 23, "parse"},
    {vmail, 24, "clear"},
    {vmail, 25, "addAttachFile"},
    {vmail, 26, "getAttachCount"},
    {vmail, 27, "getAttachFileInfo"},
    {vmail, 28, "doAttachSaveAs"},
    {vmail, 29, "getAttachFieldInfo"},
    {vmail, 30, "setMailType"},
    {vmail, 31, "getMailType"},
    {vmail, 32, "setEncCerts"},
    {vmail, 33, "getMailSigner"},
    {vmail, 34, "getSignCert"},
    {vmail, 35, "getCertItem"},
    {vmail, 36, "signData"},
};

struct serviceNames {
    const char* wire;
    const char* contract;
};

const serviceNames names[] = {
    {"enrollPlugin", "enRollService"},
    {"deviceOperator", "devService"},
    {"signxPlugin", "signXService"},
    {"vmailPlugin", "vmailService"},
};

bool knownService(int service)
{
    return service >= 0 && service < static_cast<int>(sizeof names / sizeof names[0]);
}

} // namespace

const catalogueEntry* catalogueBegin()
{
    return entries;
}

const catalogueEntry* catalogueEnd()
{
    return entries + sizeof entries / sizeof entries[0];
}

const char* serviceWireName(int service)
{
    return knownService(service) ? names[service].wire : nullptr;
}

const char* serviceContractName(int service)
{
    return knownService(service) ? names[service].contract : nullptr;
}

const char* catalogueMethod(int service, int32_t msgType)
{
    for (const catalogueEntry* e = catalogueBegin(); e != catalogueEnd(); ++e)
        if (e->service == service && e->msgType == msgType)
            return e->method;
    return nullptr;
}

int32_t catalogueMsgType(int service, const char* method)
{
    if (method == nullptr)
        return 0;
    for (const catalogueEntry* e = catalogueBegin(); e != catalogueEnd(); ++e)
        if (e->service == service && std::strcmp(e->method, method) == 0)
            return e->msgType;
    return 0;
}

} // namespace vant
