// Enrolment: new key pairs in containers and certificate requests for them.
#include "deviceOps.h"

#include "cryptoCsr.h"

namespace pkisim {
namespace ops {
namespace {

using json = nlohmann::json;

keyKind requestedKeyKind(const request& req)
{
    std::optional<std::string> name = optionalStringMember(req.body, "keyType");
    if (!name)
        name = requestedDevice(req).spec.keyType;
    std::optional<keyKind> kind = keyKindFromName(*name);
    if (!kind)
        throw requestError(errCode::unsupported, "key type \"" + *name + "\" not supported");
    return *kind;
}

} // namespace

json genKeypair(const request& req)
{
    container& con = requestedContainer(req);
    keyKind kind = requestedKeyKind(req);
    con.key = generateKey(kind);
    con.cert.reset(); // it certified the replaced key
    return publicKeyReply(con.key.get());
}

json makePkcs10(const request& req)
{
    EVP_PKEY* key = requestedKey(req);
    std::string subject = optionalStringMember(req.body, "subject").value_or("CN=" + stringMember(req.body, "devID"));
    x509NamePtr name = parseDistinguishedName(subject);
    if (!name)
        throw requestError(errCode::badRequest, "member \"subject\" is not a name such as \"CN=alice,O=Example\"");
    x509ReqPtr csr = makeCsr(key, name.get());
    return derAndPem("pkcs10", csr.get(), i2d_X509_REQ, PEM_write_bio_X509_REQ);
}

} // namespace ops
} // namespace pkisim
