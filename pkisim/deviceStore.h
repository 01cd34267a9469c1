// pkisim: the simulated devices behind the four request services.
#ifndef PKISIM_DEVICE_STORE_H
#define PKISIM_DEVICE_STORE_H

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "deviceModel.h"
#include "simTypes.h"

namespace pkisim {
// Simulated devices, thread-safe. Two by default: "SIM-RSA-01" (RSA-2048) and
// "SIM-ECC-01" (ECC P-256), each with application "pkisim" holding container
// "sign" with a signing key pair and a self-signed certificate.
class deviceStore {
public:
    // keyDir empty: keys generated in memory at construction. Otherwise loaded
    // from keyDir, generated and saved there when missing.
    explicit deviceStore(const std::string& keyDir);
    std::vector<deviceSpec> list() const;
    std::optional<deviceSpec> find(const std::string& devId) const; // nullopt when unknown
    std::string
    insert(const deviceSpec& spec); // returns devId; throws std::invalid_argument (duplicate id, unknown keyType)
    bool remove(const std::string& devId);
    bool modify(const std::string& devId, const std::string& label);
    std::string certificatePem(const std::string& devId) const; // "" when unknown
    std::string publicKeyPem(const std::string& devId) const;
    // Carries out `method` of the service with multiplexed name `service`
    // ("deviceOperator", "signxPlugin", "enrollPlugin", "vmailPlugin") on a
    // request body; fills replyBody (JSON text); returns the errCode. Never throws.
    int32_t handle(const std::string& service, const std::string& method, const std::string& requestBody,
                   std::string& replyBody);

private:
    std::string freeDeviceId(const std::string& keyType) const;
    const container* defaultContainer(const std::string& devId) const;
    void addDevice(const deviceSpec& spec);

    std::string keyDir_;
    mutable std::mutex lock_; // guards devices_
    std::vector<device> devices_;
};
} // namespace pkisim

#endif // PKISIM_DEVICE_STORE_H
