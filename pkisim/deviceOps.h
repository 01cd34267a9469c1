// The operations of the simulated devices, one function per contract method
// that behaves like a real device. Each returns the reply body of a success
// and throws requestError for a failure; pkisim/BODIES.md documents them.
#ifndef PKISIM_DEVICE_OPS_H
#define PKISIM_DEVICE_OPS_H

#include <string>

#include <nlohmann/json.hpp>

#include "cryptoEncoding.h"
#include "deviceRequest.h"

namespace pkisim {

using operation = nlohmann::json (*)(const request&);

// The operation of `method` in the service with multiplexed name `service`;
// null when the service has no such method.
operation findOperation(const std::string& service, const std::string& method);
// Whether `service` names one of the four request services
// ("deviceOperator", "enrollPlugin", "signxPlugin", "vmailPlugin").
bool hasService(const std::string& service);

// {"devID","label","keyType"}: a device as getDevices lists it and as the
// device events name it.
nlohmann::json deviceSummary(const deviceSpec& device);

// {"<name>": Base64 DER, "<name>Pem": PEM}: how replies carry certificates,
// keys and certificate requests.
template <typename T>
nlohmann::json derAndPem(const std::string& name, const T* object, int (*encode)(const T*, unsigned char**),
                         int (*write)(BIO*, const T*))
{
    return {{name, base64Encode(derOf(object, encode))}, {name + "Pem", pemOf(object, write)}};
}

// The key type and public key of a key pair (deviceOpsCert.cpp).
nlohmann::json publicKeyReply(const EVP_PKEY* key);

namespace ops {

// Devices (deviceOps.cpp).
nlohmann::json getDevices(const request& req);
nlohmann::json getDevInfo(const request& req);
nlohmann::json setDevLable(const request& req);

// PINs (deviceOpsPin.cpp).
nlohmann::json getPINInfo(const request& req);
nlohmann::json verifyPIN(const request& req);
nlohmann::json changePIN(const request& req);
nlohmann::json unlockPIN(const request& req);

// Applications and containers (deviceOpsApp.cpp).
nlohmann::json getAppList(const request& req);
nlohmann::json createApp(const request& req);
nlohmann::json delApp(const request& req);
nlohmann::json getContainers(const request& req);
nlohmann::json createContainer(const request& req);
nlohmann::json delContainer(const request& req);
nlohmann::json getContainerType(const request& req);

// Certificates and public keys (deviceOpsCert.cpp).
nlohmann::json importCertificate(const request& req);
nlohmann::json exportCertificate(const request& req);
nlohmann::json getAllCert(const request& req);
nlohmann::json exportPublicKey(const request& req);
nlohmann::json parseCert(const request& req);

// Signatures (deviceOpsSign.cpp).
nlohmann::json signData(const request& req);
nlohmann::json verifySignData(const request& req);

// Enrolment (deviceOpsEnroll.cpp).
nlohmann::json genKeypair(const request& req);
nlohmann::json makePkcs10(const request& req);

// Every other method: {"simulated":true,"method":...,"request":<body text>}.
nlohmann::json simulated(const request& req);

} // namespace ops
} // namespace pkisim

#endif // PKISIM_DEVICE_OPS_H
