#include "deviceModel.h"

#include <algorithm>
#include <cstdio>

#include "cryptoSign.h"

namespace pkisim {
namespace {

constexpr long appSpace = 1024;
constexpr long containerSpace = 512;
constexpr long keySpace = 1024;

std::string serialFor(const std::string& devId)
{
    std::string digest = sha256(devId);
    std::string serial = "PKISIM";
    char hex[3];
    for (size_t i = 0; i < 5; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(digest[i]));
        serial += hex;
    }
    return serial;
}

template <class Devices>
auto findIn(Devices& devices, const std::string& devId) -> decltype(&devices.front())
{
    auto found =
        std::find_if(devices.begin(), devices.end(), [&](const device& dev) { return dev.spec.devId == devId; });
    return found == devices.end() ? nullptr : &*found;
}

} // namespace

pinCheck checkPin(pinState& pin, const std::string& candidate)
{
    if (pin.locked())
        return pinCheck::locked;
    if (candidate == pin.value) {
        pin.remainingRetries = pin.maxRetries;
        return pinCheck::accepted;
    }
    --pin.remainingRetries;
    return pin.locked() ? pinCheck::locked : pinCheck::incorrect;
}

int containerType(const container& con)
{
    if (!con.key)
        return 0;
    return keyKindOf(con.key.get()) == keyKind::ecc ? 2 : 1;
}

application::application(const std::string& adminPinValue, int adminRetries, const std::string& userPinValue,
                         int userRetries)
    : adminPin{adminPinValue, adminRetries, adminRetries, false},
      userPin{userPinValue, userRetries, userRetries, false}
{
}

device makeDevice(const deviceSpec& spec, pkeyPtr key, x509Ptr cert)
{
    device dev;
    dev.spec = spec;
    dev.serialNumber = serialFor(spec.devId);
    application app(defaultAdminPin, defaultAdminRetries, defaultUserPin, defaultUserRetries);
    app.adminPin.isDefault = true;
    app.userPin.isDefault = true;
    app.containers[defaultContainerName] = container{std::move(key), std::move(cert)};
    dev.apps.emplace(defaultAppName, std::move(app));
    return dev;
}

long deviceUsedSpace(const device& dev)
{
    long used = 0;
    for (const auto& [appName, app] : dev.apps) {
        used += appSpace;
        for (const auto& [conName, con] : app.containers) {
            used += containerSpace + (con.key ? keySpace : 0);
            if (con.cert)
                used += i2d_X509(con.cert.get(), nullptr); // the DER length
        }
    }
    return std::min(used, deviceTotalSpace);
}

device* findDevice(std::vector<device>& devices, const std::string& devId)
{
    return findIn(devices, devId);
}

const device* findDevice(const std::vector<device>& devices, const std::string& devId)
{
    return findIn(devices, devId);
}

} // namespace pkisim
