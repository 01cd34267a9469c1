// Which operation carries out each method of the four request services.
#include <map>

#include "deviceOps.h"

namespace pkisim {
namespace {

using methodTable = std::map<std::string, operation>;

const methodTable deviceOperatorMethods = {
    {"getDevices", ops::getDevices},     {"getDevInfo", ops::getDevInfo},
    {"setDevLable", ops::setDevLable},   {"transMitData", ops::simulated},
    {"devAuth", ops::simulated},         {"changeAuthKey", ops::simulated},
    {"getPINInfo", ops::getPINInfo},     {"changePIN", ops::changePIN},
    {"verifyPIN", ops::verifyPIN},       {"unlockPIN", ops::unlockPIN},
    {"getAppList", ops::getAppList},     {"createApp", ops::createApp},
    {"delApp", ops::delApp},             {"getContainers", ops::getContainers},
    {"createContainer", ops::createContainer}, {"delContainer", ops::delContainer},
    {"openContainer", ops::simulated},   {"closeContainer", ops::simulated},
    {"getContainerType", ops::getContainerType}, {"importCertificate", ops::importCertificate},
    {"exportCertificate", ops::exportCertificate}, {"getAllCert", ops::getAllCert},
    {"exportPublicKey", ops::exportPublicKey}, {"extPubKeyEncrypt", ops::simulated},
    {"extPriKeyDecrypt", ops::simulated}, {"initFinger", ops::simulated},
    {"hasFinger", ops::simulated},       {"verifyFinger", ops::simulated},
    {"cancleFinger", ops::simulated},    {"getProviders", ops::simulated},
    {"setProvider", ops::simulated},     {"findCert", ops::simulated},
};

const methodTable signxPluginMethods = {
    {"signData", ops::signData},         {"verifySignData", ops::verifySignData},
    {"signMessage", ops::simulated},     {"verifyMessage", ops::simulated},
    {"extECCVerify", ops::simulated},    {"extECCVerifyEx", ops::simulated},
    {"dupCertWithTemplate", ops::simulated}, {"parseCert", ops::parseCert},
    {"getExtension", ops::simulated},    {"envelopeEncrypt", ops::simulated},
    {"envelopeDecrypt", ops::simulated}, {"verifySignedMessage", ops::simulated},
};

const methodTable enrollPluginMethods = {
    {"makePkcs10", ops::makePkcs10},     {"genKeypair", ops::genKeypair},
    {"importEncKeypair", ops::simulated}, {"importX509Cert", ops::importCertificate},
    {"importPfxCert", ops::simulated},   {"getCert", ops::exportCertificate},
    {"importPfx2SkfFile", ops::simulated},
};

const methodTable vmailPluginMethods = {
    {"setTextBody", ops::simulated},     {"getTextBody", ops::simulated},
    {"setHtmlBody", ops::simulated},     {"getHtmlBody", ops::simulated},
    {"compose", ops::simulated},         {"getComposedData", ops::simulated},
    {"prepareParse", ops::simulated},    {"parse", ops::simulated},
    {"clear", ops::simulated},           {"addAttachFile", ops::simulated},
    {"getAttachCount", ops::simulated},  {"getAttachFileInfo", ops::simulated},
    {"doAttachSaveAs", ops::simulated},  {"getAttachFieldInfo", ops::simulated},
    {"setMailType", ops::simulated},     {"getMailType", ops::simulated},
    {"setEncCerts", ops::simulated},     {"getMailSigner", ops::simulated},
    {"getSignCert", ops::simulated},     {"getCertItem", ops::simulated},
    {"GetAllConUrl", ops::simulated},    {"signData", ops::signData},
};

const std::map<std::string, const methodTable*> services = {
    {"deviceOperator", &deviceOperatorMethods},
    {"signxPlugin", &signxPluginMethods},
    {"enrollPlugin", &enrollPluginMethods},
    {"vmailPlugin", &vmailPluginMethods},
};

} // namespace

operation findOperation(const std::string& service, const std::string& method) {
    auto table = services.find(service);
    if (table == services.end())
        return nullptr;
    auto found = table->second->find(method);
    return found == table->second->end() ? nullptr : found->second;
}

bool hasService(const std::string& service) { return services.count(service) != 0; }

} // namespace pkisim
