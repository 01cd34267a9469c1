// Certificates and public keys held in containers, and certificate parsing.
#include "deviceOps.h"

#include "cryptoCert.h"

namespace pkisim {

nlohmann::json publicKeyReply(const EVP_PKEY* key)
{
    nlohmann::json reply = derAndPem("publicKey", key, i2d_PUBKEY, PEM_write_bio_PUBKEY);
    reply["keyType"] = keyKindName(*keyKindOf(key));
    return reply;
}

namespace ops {
namespace {

using json = nlohmann::json;

json certEncodings(const X509* cert)
{
    return derAndPem("cert", cert, i2d_X509, PEM_write_bio_X509);
}

} // namespace

json importCertificate(const request& req)
{
    container& con = requestedContainer(req);
    con.cert = certMember(req.body, "cert");
    return json::object();
}

json exportCertificate(const request& req)
{
    const container& con = requestedContainer(req);
    if (!con.cert)
        throw requestError(errCode::notFound,
                           "container \"" + stringMember(req.body, "conName") + "\" holds no certificate");
    return certEncodings(con.cert.get());
}

json getAllCert(const request& req)
{
    std::optional<std::string> onlyDevice = optionalStringMember(req.body, "devID");
    if (onlyDevice)
        requestedDevice(req); // errCode 5 when missing
    json certs = json::array();
    for (const device& dev : req.devices) {
        if (onlyDevice && dev.spec.devId != *onlyDevice)
            continue;
        for (const auto& [appName, app] : dev.apps) {
            for (const auto& [conName, con] : app.containers) {
                if (!con.cert)
                    continue;
                json entry = certEncodings(con.cert.get());
                entry["devID"] = dev.spec.devId;
                entry["appName"] = appName;
                entry["conName"] = conName;
                certs.push_back(std::move(entry));
            }
        }
    }
    return {{"certs", std::move(certs)}};
}

json exportPublicKey(const request& req)
{
    return publicKeyReply(requestedKey(req));
}

json parseCert(const request& req)
{
    x509Ptr cert = certMember(req.body, "cert");
    certSummary summary = summarizeCert(cert.get());
    return {{"subject", summary.subject},           {"issuer", summary.issuer},
            {"serialNumber", summary.serialNumber}, {"notBefore", summary.notBefore},
            {"notAfter", summary.notAfter},         {"keyType", summary.keyType},
            {"keyBits", summary.keyBits},           {"signatureAlgorithm", summary.signatureAlgorithm}};
}

} // namespace ops
} // namespace pkisim
