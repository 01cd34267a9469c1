// Which operation carries out each method of the four request services: every
// method of the lists in tessera_catalogue.h is served, by its behaviour below
// or else by the simulated operation.
#include <map>

#include "deviceOps.h"
#include "tessera_catalogue.h"

namespace pkisim {
namespace {

// One enumerator per listed method (DEV_getDevices), so that a behaviour for
// a method the lists lack does not compile.
#define PKISIM_ROUTED(service, method, msgType) service##_##method,
#define PKISIM_UNROUTED(service, method) service##_##method,
enum class listed { VPKI_METHODS(PKISIM_ROUTED, PKISIM_UNROUTED) };
#undef PKISIM_UNROUTED
#undef PKISIM_ROUTED

// The methods that behave like a real device.
const std::map<listed, operation> behaviours = {
    {listed::DEV_getDevices, ops::getDevices},
    {listed::DEV_getDevInfo, ops::getDevInfo},
    {listed::DEV_setDevLable, ops::setDevLable},
    {listed::DEV_getPINInfo, ops::getPINInfo},
    {listed::DEV_changePIN, ops::changePIN},
    {listed::DEV_verifyPIN, ops::verifyPIN},
    {listed::DEV_unlockPIN, ops::unlockPIN},
    {listed::DEV_getAppList, ops::getAppList},
    {listed::DEV_createApp, ops::createApp},
    {listed::DEV_delApp, ops::delApp},
    {listed::DEV_getContainers, ops::getContainers},
    {listed::DEV_createContainer, ops::createContainer},
    {listed::DEV_delContainer, ops::delContainer},
    {listed::DEV_getContainerType, ops::getContainerType},
    {listed::DEV_importCertificate, ops::importCertificate},
    {listed::DEV_exportCertificate, ops::exportCertificate},
    {listed::DEV_getAllCert, ops::getAllCert},
    {listed::DEV_exportPublicKey, ops::exportPublicKey},
    {listed::SIGNX_signData, ops::signData},
    {listed::SIGNX_verifySignData, ops::verifySignData},
    {listed::SIGNX_parseCert, ops::parseCert},
    {listed::ENROLL_makePkcs10, ops::makePkcs10},
    {listed::ENROLL_genKeypair, ops::genKeypair},
    {listed::ENROLL_importX509Cert, ops::importCertificate},
    {listed::ENROLL_getCert, ops::exportCertificate},
    {listed::VMAIL_signData, ops::signData},
};

operation operationOf(listed method)
{
    auto found = behaviours.find(method);
    return found == behaviours.end() ? ops::simulated : found->second;
}

using methodTable = std::map<std::string, operation>;

#define PKISIM_ROUTED(service, method, msgType) {#method, operationOf(listed::service##_##method)},
#define PKISIM_UNROUTED(service, method) {#method, operationOf(listed::service##_##method)},
const std::map<std::string, methodTable> services = {
    {"enrollPlugin", {VPKI_METHODS_ENROLL(PKISIM_ROUTED, PKISIM_UNROUTED)}},
    {"deviceOperator", {VPKI_METHODS_DEV(PKISIM_ROUTED, PKISIM_UNROUTED)}},
    {"signxPlugin", {VPKI_METHODS_SIGNX(PKISIM_ROUTED, PKISIM_UNROUTED)}},
    {"vmailPlugin", {VPKI_METHODS_VMAIL(PKISIM_ROUTED, PKISIM_UNROUTED)}},
};
#undef PKISIM_UNROUTED
#undef PKISIM_ROUTED

} // namespace

operation findOperation(const std::string& service, const std::string& method)
{
    auto table = services.find(service);
    if (table == services.end())
        return nullptr;
    auto found = table->second.find(method);
    return found == table->second.end() ? nullptr : found->second;
}

bool hasService(const std::string& service)
{
    return services.count(service) != 0;
}

} // namespace pkisim
