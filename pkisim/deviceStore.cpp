#include "deviceStore.h"

#include <cstdio>
#include <stdexcept>

#include "cryptoEncoding.h"
#include "cryptoKeys.h"
#include "deviceKeyDir.h"
#include "deviceOps.h"

namespace pkisim {
namespace {

const deviceSpec defaultDevices[] = {
    {"SIM-RSA-01", "pkisim RSA token", "RSA"},
    {"SIM-ECC-01", "pkisim ECC token", "ECC"},
};

// Turns every failure into an errCode and an error body.
int32_t failure(const requestError& error, std::string& replyBody)
{
    replyBody = errorText(error);
    return error.code();
}

} // namespace

deviceStore::deviceStore(const std::string& keyDir) : keyDir_(keyDir)
{
    for (const deviceSpec& spec : defaultDevices)
        addDevice(spec);
}

std::vector<deviceSpec> deviceStore::list() const
{
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<deviceSpec> specs;
    for (const device& dev : devices_)
        specs.push_back(dev.spec);
    return specs;
}

std::optional<deviceSpec> deviceStore::find(const std::string& devId) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const device* dev = findDevice(devices_, devId);
    return dev ? std::optional<deviceSpec>(dev->spec) : std::nullopt;
}

std::string deviceStore::insert(const deviceSpec& spec)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!keyKindFromName(spec.keyType))
        throw std::invalid_argument("unknown key type \"" + spec.keyType + "\" (RSA or ECC)");
    deviceSpec named = spec;
    if (named.devId.empty())
        named.devId = freeDeviceId(spec.keyType);
    if (!isValidDeviceId(named.devId))
        throw std::invalid_argument("device id \"" + named.devId +
                                    "\" must be 1 to 64 letters, digits, '.', '_' or '-'");
    if (findDevice(devices_, named.devId))
        throw std::invalid_argument("device \"" + named.devId + "\" already exists");
    addDevice(named);
    return named.devId;
}

bool deviceStore::remove(const std::string& devId)
{
    std::lock_guard<std::mutex> guard(lock_);
    device* dev = findDevice(devices_, devId);
    if (!dev)
        return false;
    devices_.erase(devices_.begin() + (dev - devices_.data()));
    return true;
}

bool deviceStore::modify(const std::string& devId, const std::string& label)
{
    std::lock_guard<std::mutex> guard(lock_);
    device* dev = findDevice(devices_, devId);
    if (dev)
        dev->spec.label = label;
    return dev != nullptr;
}

std::string deviceStore::certificatePem(const std::string& devId) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const container* con = defaultContainer(devId);
    return con && con->cert ? pemOf(con->cert.get(), PEM_write_bio_X509) : std::string();
}

std::string deviceStore::publicKeyPem(const std::string& devId) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const container* con = defaultContainer(devId);
    return con && con->key ? pemOf(con->key.get(), PEM_write_bio_PUBKEY) : std::string();
}

int32_t deviceStore::handle(const std::string& service, const std::string& method, const std::string& requestBody,
                            std::string& replyBody)
{
    try {
        operation op = findOperation(service, method);
        if (!op)
            throw requestError(errCode::badRequest, "no method \"" + method + "\" in service \"" + service + "\"");
        nlohmann::json body = parseRequestBody(requestBody);
        std::lock_guard<std::mutex> guard(lock_);
        replyBody = jsonText(op(request{devices_, body, method, requestBody}));
        return errCode::success;
    } catch (const requestError& error) {
        return failure(error, replyBody);
    } catch (const nlohmann::json::exception& error) {
        return failure(requestError(errCode::badRequest, error.what()), replyBody);
    } catch (const std::exception& error) {
        return failure(requestError(errCode::unsupported, error.what()), replyBody);
    } catch (...) {
        return failure(requestError(errCode::unsupported, "unexpected failure"), replyBody);
    }
}

std::string deviceStore::freeDeviceId(const std::string& keyType) const
{
    for (int number = 1;; ++number) {
        char id[32];
        std::snprintf(id, sizeof id, "SIM-%s-%02d", keyType.c_str(), number);
        if (!findDevice(devices_, id))
            return id;
    }
}

const container* deviceStore::defaultContainer(const std::string& devId) const
{
    const device* dev = findDevice(devices_, devId);
    if (!dev)
        return nullptr;
    auto app = dev->apps.find(defaultAppName);
    if (app == dev->apps.end())
        return nullptr;
    auto con = app->second.containers.find(defaultContainerName);
    return con == app->second.containers.end() ? nullptr : &con->second;
}

void deviceStore::addDevice(const deviceSpec& spec)
{
    keyMaterial keys = loadOrCreateKeys(keyDir_, spec.devId, *keyKindFromName(spec.keyType));
    devices_.push_back(makeDevice(spec, std::move(keys.key), std::move(keys.cert)));
}

} // namespace pkisim
