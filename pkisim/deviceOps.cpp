// Devices: listing, information and label; and the answer of the methods
// that the simulated devices only acknowledge.
#include "deviceOps.h"

#include "deviceModel.h"

namespace pkisim {

nlohmann::json deviceSummary(const deviceSpec& device)
{
    return {{"devID", device.devId}, {"label", device.label}, {"keyType", device.keyType}};
}

namespace ops {
namespace {

using json = nlohmann::json;

const char deviceVersion[] = "1.0";
const char manufacturer[] = "pkisim";

} // namespace

json getDevices(const request& req)
{
    json devices = json::array();
    for (const device& dev : req.devices)
        devices.push_back(deviceSummary(dev.spec));
    return {{"devices", std::move(devices)}};
}

json getDevInfo(const request& req)
{
    const device& dev = requestedDevice(req);
    return {
        {"devID", dev.spec.devId},
        {"version", deviceVersion},
        {"manufacturer", manufacturer},
        {"issuer", manufacturer},
        {"label", dev.spec.label},
        {"serialNumber", dev.serialNumber},
        {"hwVersion", deviceVersion},
        {"firmwareVersion", deviceVersion},
        {"symAlgorithms", {"AES-128-ECB", "AES-128-CBC"}},
        {"asymAlgorithms", {"RSA-2048", "ECC-P256"}},
        {"hashAlgorithms", {"SHA-256"}},
        {"devAuthAlgorithm", "AES-128-ECB"},
        {"totalSpace", deviceTotalSpace},
        {"freeSpace", deviceTotalSpace - deviceUsedSpace(dev)},
    };
}

json setDevLable(const request& req)
{
    device& dev = requestedDevice(req);
    dev.spec.label = stringMember(req.body, "label");
    return {{"devID", dev.spec.devId}, {"label", dev.spec.label}};
}

json simulated(const request& req)
{
    return {{"simulated", true}, {"method", req.method}, {"request", req.text}};
}

} // namespace ops
} // namespace pkisim
