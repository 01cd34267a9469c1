// What a simulated device holds: applications with two PINs each, containers
// with a signing key pair and its certificate.
#ifndef PKISIM_DEVICE_MODEL_H
#define PKISIM_DEVICE_MODEL_H

#include <map>
#include <string>
#include <vector>

#include "cryptoHandles.h"
#include "cryptoKeys.h"
#include "simTypes.h"

namespace pkisim {

// Names every new device starts with.
inline constexpr const char* defaultAppName = "pkisim";
inline constexpr const char* defaultContainerName = "sign";
inline constexpr const char* defaultAdminPin = "12345678";
inline constexpr const char* defaultUserPin = "123456";
inline constexpr int defaultAdminRetries = 10;
inline constexpr int defaultUserRetries = 6;

enum class pinKind { admin = 0, user = 1 };

struct pinState {
    std::string value;
    int maxRetries = 0;
    int remainingRetries = 0;
    bool isDefault = false; // never changed since the application was made

    bool locked() const { return remainingRetries == 0; }
};

enum class pinCheck { accepted, incorrect, locked };

// Compares `candidate` with the PIN. A match restores the retry count; a
// mismatch uses one retry, and the last one locks the PIN. A locked PIN
// refuses every candidate.
pinCheck checkPin(pinState& pin, const std::string& candidate);

struct container {
    pkeyPtr key;  // null: the container is empty
    x509Ptr cert; // null: no certificate imported or issued
};

// 0 empty, 1 RSA, 2 ECC.
int containerType(const container& con);

struct application {
    pinState adminPin;
    pinState userPin;
    std::map<std::string, container> containers;

    application(const std::string& adminPin, int adminRetries, const std::string& userPin, int userRetries);
    pinState& pin(pinKind kind) { return kind == pinKind::admin ? adminPin : userPin; }
};

struct device {
    deviceSpec spec;
    std::string serialNumber; // derived from the id, so stable across runs
    std::map<std::string, application> apps;
};

// A device with the default application and PINs, its container "sign"
// holding `key` and `cert`.
device makeDevice(const deviceSpec& spec, pkeyPtr key, x509Ptr cert);

// Space the device reports as used by its applications, containers, keys and
// certificates, in bytes; the total is fixed.
inline constexpr long deviceTotalSpace = 64 * 1024;
long deviceUsedSpace(const device& dev);

device* findDevice(std::vector<device>& devices, const std::string& devId);
const device* findDevice(const std::vector<device>& devices, const std::string& devId);

} // namespace pkisim

#endif // PKISIM_DEVICE_MODEL_H
